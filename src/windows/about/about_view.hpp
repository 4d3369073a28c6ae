#pragma once
// The about window's content: the product's mark, name and version, what it does, the website and
// support links, and the copyright line, laid out in a fixed 300 x 260 frame centred in the window.

#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;

namespace pennial {

class Workspace;

class AboutView : public QWidget {
public:
    static constexpr int frameWidth = 300;
    static constexpr int frameHeight = 260;

    // The links open through the workspace, in the user's browser and mail application.
    explicit AboutView(std::shared_ptr<Workspace> workspace, QWidget* parent = nullptr);

private:
    QPushButton* makeLink(const QString& title, const QString& url, const QString& name);

    std::shared_ptr<Workspace> workspace_;
};

} // namespace pennial
