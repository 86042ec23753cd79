#pragma once
// The about box without Qt: its texts, caption, hint, the contact panel and
// the timer's animation. The Qt form renders the model.
#include <optional>
#include <string>

namespace vrt::link {

// The four texts of one call; absent texts are empty optionals. Windows-1251.
struct AboutTexts {
    std::optional<std::string> product{};
    std::optional<std::string> version{};
    std::optional<std::string> description{};
    std::optional<std::string> authorLine{};
};

struct AboutModel {
    std::string caption;
    std::string hint;              // "Я здесь --> <path>"
    bool bevelVisible = true;      // BevelUser and the three lines in it
    std::string name = " ";        // STname
    std::string rem1 = " ";        // STrem1
    std::string rem2 = " ";        // STrem2
    bool infoFirst = true;         // ImgInfo shown (else Img1Info)
    bool logoFirst = true;         // ImgL1 shown (else ImgL2)
    bool contactShown = false;     // PnlAddress shown and enabled
    std::string heading;           // STFirm
    bool timerOn = false;          // TmAbout, 1000 ms
};

// Widths and height the resize rule gives (design pixels).
struct AboutLayout {
    int bevelWidth = 0;
    int textWidth = 0;
    int exitWidth = 0;
    int exitHeight = 0;
};

class AboutController {
public:
    static const char* const kCaption;       // "VORTAN [UTL]"
    static const char* const kHeadings[2];   // STFirm alternates between them
    static const char* const kContactLines;  // MemoAddres

    // Keeps the texts, fills the box, starts the timer. `hintPath` is the
    // handed-over path or the host program's path.
    void start(AboutTexts texts, const std::string& hintPath);
    void fillTexts();
    // The resize rule for an outer size w × h; false (nothing to apply) while
    // no text line is given.
    bool onResize(int w, int h, AboutLayout& out);
    // The rule's figures count the single-border frame and the caption bar of
    // the box's design (client 359 × 244 in a 369 × 271 window). A window
    // manager's frame differs from one desktop to the next, so the rule is
    // fed the client size plus those design margins.
    static constexpr int kDesignFrameWidth = 10;
    static constexpr int kDesignFrameHeight = 27;
    bool onClientResize(int clientWidth, int clientHeight, AboutLayout& out) {
        return onResize(clientWidth + kDesignFrameWidth, clientHeight + kDesignFrameHeight, out);
    }
    void onTimer();
    void showContactPanel();
    void hideContactPanel();
    void stop();

    const AboutModel& model() const { return model_; }
    bool textsGiven() const { return textsGiven_; }

private:
    AboutTexts texts_;
    AboutModel model_;
    bool textsGiven_ = false;
    int nextHeading_ = 0;
    int tickCount_ = 0;
    bool inTimer_ = false;
};

}  // namespace vrt::link
