#pragma once
// The embedded video. With no web engine in the program, the view is the video's poster: the page
// it stands for is the video's embed address, and a click on it is a link the user follows, which
// the navigation rule sends to the default browser. The view never leaves its own page for a
// navigation the user sets off.

#include <QWidget>
#include <memory>
#include <optional>
#include <string>

namespace pennial {

class Workspace;

enum class NavigationType {
    linkActivated,
    formSubmitted,
    backForward,
    reload,
    formResubmitted,
    other, // a load the program or the page started
};

struct NavigationAction {
    NavigationType type = NavigationType::other;
    std::optional<std::string> url;
};

enum class NavigationPolicy { allow, cancel };

class YouTubePlayerView : public QWidget {
public:
    // The navigation rule: the program's and the page's own loads and reloads stay in the view;
    // everything the user follows opens in the default browser and is cancelled here.
    class Coordinator {
    public:
        explicit Coordinator(std::shared_ptr<Workspace> workspace);
        NavigationPolicy decidePolicy(const NavigationAction& action);

    private:
        std::shared_ptr<Workspace> workspace_;
    };

    YouTubePlayerView(std::string videoID, std::shared_ptr<Workspace> workspace,
                      QWidget* parent = nullptr);

    // The address of the video's player page, and of the video's own page on its site; the id is
    // percent-encoded, so no id can reach past its place in the address.
    static std::string embedURL(const std::string& videoID);
    static std::string watchURL(const std::string& videoID);

    const std::string& videoID() const { return videoID_; }
    // The page the view shows.
    const std::string& currentURL() const { return currentURL_; }

    // Follows the navigation when the rule allows it; answers the rule's decision.
    NavigationPolicy navigate(const NavigationAction& action);

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openVideo();

    std::string videoID_;
    std::string currentURL_;
    Coordinator coordinator_;
};

} // namespace pennial
