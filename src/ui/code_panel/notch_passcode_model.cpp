#include "ui/code_panel/notch_passcode_model.hpp"

namespace pennial {

template <class T> void NotchPasscodeModel::assign(T& field, T value) {
    if (field == value)
        return;
    field = std::move(value);
    changed_.notify();
}

void NotchPasscodeModel::setCode(std::string code) {
    assign(code_, std::move(code));
}

void NotchPasscodeModel::setEmail(std::string email) {
    assign(email_, std::move(email));
}

void NotchPasscodeModel::setVerifying(bool verifying) {
    assign(isVerifying_, verifying);
}

void NotchPasscodeModel::setError(std::optional<std::string> error) {
    assign(error_, std::move(error));
}

void NotchPasscodeModel::setRevealed(bool revealed) {
    assign(isRevealed_, revealed);
}

void NotchPasscodeModel::setPanelHeight(double height) {
    assign(panelHeight_, height);
}

void NotchPasscodeModel::setNotchHeight(double height) {
    assign(notchHeight_, height);
}

} // namespace pennial
