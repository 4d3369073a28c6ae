#pragma once
// The product's mark at the top of the about window: a one-colour drawing tinted with the accent
// colour. Decoration only: it has no name for assistive tools.

#include <QWidget>
#include <memory>

class QSvgRenderer;

namespace pennial {

class AboutIcon : public QWidget {
public:
    static constexpr int side = 32;

    explicit AboutIcon(QWidget* parent = nullptr);
    ~AboutIcon() override;

    bool hasImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<QSvgRenderer> image_;
};

} // namespace pennial
