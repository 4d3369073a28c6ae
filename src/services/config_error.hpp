#pragma once
// Failures of configuration storage. Cases keep their order; messages for the user are built by
// the views from the case.

#include <stdexcept>
#include <string>

namespace pennial {

class ConfigError : public std::exception {
public:
    enum class Kind { readError, writeError, validationError, fileNotFound, invalidFormat };

    static ConfigError readError(std::string underlying);
    static ConfigError writeError(std::string underlying);
    static ConfigError validationError(std::string message);
    static ConfigError fileNotFound() { return ConfigError(Kind::fileNotFound); }
    // The detail says what is wrong with the document (never its content); it is not compared.
    static ConfigError invalidFormat(std::string detail = {});

    Kind kind() const { return kind_; }
    const std::string& underlying() const { return underlying_; } // read and write errors
    const std::string& message() const { return message_; }       // validation errors

    bool operator==(const ConfigError& other) const;
    const char* what() const noexcept override { return description_.c_str(); }

private:
    explicit ConfigError(Kind kind);
    Kind kind_;
    std::string underlying_;
    std::string message_;
    std::string description_;
};

} // namespace pennial
