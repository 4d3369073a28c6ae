#include "platform/sim/sim_page.hpp"

#include <array>

namespace pennial {

namespace {

constexpr std::array words{
    "the",     "quarterly", "report",   "shows",    "revenue",  "growth", "across",  "every",
    "region",  "while",     "costs",    "remained", "stable",   "team",   "meeting", "agenda",
    "review",  "proposal",  "deadline", "customer", "feedback", "launch", "design",  "draft",
    "budget",  "schedule",  "update",   "question", "answer",   "thread", "summary", "notes",
    "project", "timeline",  "risk",     "owner",    "decision", "follow", "plan",    "release"};

class Generator {
public:
    Generator(const SimPageLayout& layout)
        : layout_(layout), state_(layout.seed ? layout.seed : 1) {}

    SimElementPtr add(const SimElementPtr& parent, SimElementPtr child) {
        ++count_;
        return parent->add(std::move(child));
    }
    bool full(int reserve = 0) const { return count_ + reserve >= layout_.elementCount; }
    int count() const { return count_; }

    std::string sentence(int wordCount) {
        std::string text;
        for (int i = 0; i < wordCount; ++i) {
            if (i)
                text += ' ';
            text += words[next() % words.size()];
        }
        // A serial number keeps paragraphs distinct, as real ones are.
        return text + " (" + std::to_string(++serial_) + ").";
    }

    void paragraph(const SimElementPtr& parent) {
        auto group = add(parent, SimElement::group());
        add(group, SimElement::staticText(sentence(layout_.wordsPerParagraph)));
    }

    // A comment with replies nested under it, as threads are.
    void thread(const SimElementPtr& parent, int depth) {
        if (full(8))
            return;
        auto comment = add(parent, SimElement::group());
        add(comment, SimElement::staticText("Reply from user " + std::to_string(next() % 90)));
        paragraph(comment);
        add(comment, SimElement::button("Like"));
        if (depth < 8 && next() % 3 != 0)
            thread(comment, depth + 1);
    }

    void article(const SimElementPtr& parent) {
        auto section = add(parent, SimElement::group());
        add(section, SimElement::staticText("Heading " + sentence(4)));
        for (int i = 0; i < 6 && !full(4); ++i) {
            paragraph(section);
            if (i % 3 == 1)
                add(section, SimElement::image("chart"));
        }
        auto comments = add(section, SimElement::group());
        for (int i = 0; i < 3; ++i)
            thread(comments, 0);
    }

    std::uint32_t next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }

private:
    const SimPageLayout& layout_;
    std::uint32_t state_;
    int count_ = 0;
    int serial_ = 0;
};

} // namespace

SimPage buildSimPage(SimDesktop& desktop, RunningApplication info, const SimPageLayout& layout) {
    SimPage page;
    page.application = desktop.addApplication(std::move(info));
    page.window = page.application->addWindow("Inbox - Team thread");
    Generator generate(layout);

    auto toolbar = generate.add(page.window, SimElement::make(ax::role::toolbar));
    for (auto title : {"Back", "Forward", "Reload", "Address", "Share", "Tabs"})
        generate.add(toolbar, SimElement::button(title));

    SimElementPtr content;
    if (layout.webArea) {
        page.webArea = generate.add(page.window, SimElement::webArea());
        page.webArea->set(std::string(ax::attribute::title), "Team thread");
        if (layout.textMarkers)
            page.webArea->supportTextMarkers();
        content = page.webArea;
    } else {
        content = generate.add(page.window, SimElement::group());
    }

    auto banner = generate.add(content, SimElement::group(ax::subrole::landmarkBanner));
    generate.add(banner, SimElement::staticText("Mail"));
    for (auto title : {"Compose", "Search", "Settings", "Help"})
        generate.add(banner, SimElement::button(title));
    auto navigation = generate.add(content, SimElement::group(ax::subrole::landmarkNavigation));
    for (auto title : {"Inbox", "Starred", "Sent", "Drafts", "Spam", "Trash", "Archive"})
        generate.add(navigation, SimElement::button(title));

    auto mainArea = generate.add(
        content, SimElement::group(layout.mainLandmark ? ax::subrole::landmarkMain : ""));
    if (layout.mainLandmark)
        page.main = mainArea;
    // The reply box, its label and its button, and the footer are kept back for the end.
    constexpr int reserved = 8;
    while (!generate.full(reserved))
        generate.article(mainArea);

    auto reply = generate.add(mainArea, SimElement::group());
    generate.add(reply, SimElement::staticText("Reply"));
    page.field = generate.add(reply, SimElement::textArea("Thanks, I will look at the budget "));
    page.field->label("reply-box")->frame({{400, 700}, {640, 120}});
    generate.add(reply, SimElement::button("Send"));
    auto footer = generate.add(content, SimElement::group());
    generate.add(footer, SimElement::staticText("Terms and conditions"));

    generate.add(page.window, SimElement::make(ax::role::scrollBar));
    page.elementCount = generate.count();
    desktop.focus(page.field);
    return page;
}

} // namespace pennial
