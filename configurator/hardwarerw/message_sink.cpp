#include "hardwarerw/message_sink.h"

#include <cstdio>
#include <string>

#include "platform/cp1251.h"

namespace vrt::cfg {
namespace {

// Without a window the texts still reach someone.
class StderrSink final : public MessageSink {
public:
    void errorBox(std::string_view text, std::string_view caption) override {
        std::fprintf(stderr, "%s: %s\n", cp1251::toUtf8(caption).c_str(), cp1251::toUtf8(text).c_str());
    }
    void messageBox(std::string_view text) override {
        std::fprintf(stderr, "%s\n", cp1251::toUtf8(text).c_str());
    }
    void requestQuit() override { quitRequested = true; }
    bool quitRequested = false;
};

StderrSink gDefaultSink;
MessageSink* gSink = &gDefaultSink;

}  // namespace

MessageSink& Messages() { return *gSink; }

MessageSink* SetMessageSink(MessageSink* sink) {
    MessageSink* previous = gSink;
    gSink = sink ? sink : &gDefaultSink;
    return previous;
}

}  // namespace vrt::cfg
