// The update service's state machine as stories: each line is one event and
// what the flow answers. Duplicates are dropped by state, the accepted version
// is the one command 7 must carry, an unknown firmware version is never
// offered, and a failed check is told only when asked for.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "UpdateFlow.h"
#include "UpdateTexts.h"

namespace {

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

const char* BoxName(CheckBox box)
{
    switch (box) {
    case CheckBox::None: return "none";
    case CheckBox::Offer: return "offer";
    case CheckBox::Latest: return "latest";
    case CheckBox::Failed: return "failed";
    case CheckBox::Unknown: return "unknown";
    }
    return "?";
}

// "verb kind args..." applied to the flow; returns what it answered.
std::string Apply(UpdateFlow& flow, const std::string& line)
{
    std::istringstream in(line);
    std::string verb, a, b;
    in >> verb >> a >> b;
    const UpdateKind kind = a == "fw" ? UpdateKind::Firmware : UpdateKind::Software;
    if (verb == "check")
        return flow.BeginCheck(kind, b == "verbose") ? "started" : "dropped";
    if (verb == "end") {
        std::string version;
        in >> version;
        const CheckResult result = b == "available" ? CheckResult::Available
                                   : b == "latest"  ? CheckResult::Latest
                                   : b == "failed"  ? CheckResult::Failed
                                   : b == "unknown" ? CheckResult::Unknown
                                                    : CheckResult::NoDevice;
        return BoxName(flow.EndCheck(kind, result, Wide(version)));
    }
    if (verb == "answer") {
        std::wstring accepted;
        return flow.Answer(kind, b == "yes", accepted) ? "accepted " + Narrow(accepted) : "not accepted";
    }
    if (verb == "download")
        return flow.BeginDownload(Wide(a)) ? "started" : "dropped";
    if (verb == "install") {
        flow.BeginInstall();
        return Narrow(FlowStateName(flow.State(UpdateKind::Software)));
    }
    if (verb == "installed") {
        flow.EndSoftwareUpdate(a == "yes");
        return Narrow(FlowStateName(flow.State(UpdateKind::Software)));
    }
    if (verb == "upgrade")
        return flow.BeginUpgrade() ? "started" : "dropped";
    if (verb == "upgraded") {
        flow.EndUpgrade();
        return Narrow(FlowStateName(flow.State(UpdateKind::Firmware)));
    }
    if (verb == "exit")
        return flow.BeginExit() ? "cancel network" : "nothing to cancel";
    if (verb == "state")
        return Narrow(FlowStateName(flow.State(kind)));
    return "bad line";
}

struct Story {
    const char* name;
    std::vector<std::pair<const char*, const char*>> lines;  // event, answer
};

TEST(UpdateFlow, Stories)
{
    const Story stories[] = {
        {"duplicate verdicts are dropped while the prompt is open",
         {{"end fw available 13", "offer"},           // the connect's offer to a cooler at version 0
          {"end fw available 13", "none"},            // the silent check's, meanwhile
          {"check fw silent", "dropped"},
          {"check fw verbose", "dropped"},
          {"state fw", "prompt open"},
          {"answer fw no", "not accepted"},
          {"state fw", "idle"},
          {"check fw verbose", "started"},
          {"end fw available 13", "offer"}}},
        {"a second acceptance is dropped",
         {{"check sw verbose", "started"},
          {"check sw silent", "dropped"},
          {"end sw available 1.0.2.0", "offer"},
          {"check sw verbose", "dropped"},
          {"answer sw yes", "accepted 1.0.2.0"},
          {"answer sw yes", "not accepted"},
          {"check sw verbose", "dropped"},
          {"end sw available 1.0.2.0", "none"},
          {"download 1.0.2.0", "started"},
          {"download 1.0.2.0", "dropped"},
          {"state sw", "downloading"}}},
        {"command 7 installs the accepted version only",
         {{"check sw silent", "started"},
          {"end sw available 1.0.2.0", "offer"},
          {"answer sw yes", "accepted 1.0.2.0"},
          {"download 1.0.3.0", "dropped"},            // a later check's version
          {"download 1.0.2.0", "started"},
          {"install", "installing"},
          {"installed yes", "exiting"},
          {"check sw verbose", "dropped"},
          {"end fw available 13", "none"}}},
        {"a failed update goes back to idle and may be offered again",
         {{"end sw available 1.0.2.0", "offer"},
          {"answer sw yes", "accepted 1.0.2.0"},
          {"download 1.0.2.0", "started"},
          {"installed no", "idle"},
          {"download 1.0.2.0", "dropped"},
          {"check sw verbose", "started"},
          {"end sw available 1.0.2.0", "offer"}}},
        {"an unknown firmware version is not offered",
         {{"check fw verbose", "started"},
          {"end fw unknown", "unknown"},
          {"answer fw yes", "not accepted"},
          {"check fw silent", "started"},
          {"end fw unknown", "none"},
          {"state fw", "idle"},
          {"check fw verbose", "started"},
          {"end fw nodevice", "none"},
          {"state fw", "idle"}}},
        {"a failed check is told only when asked for; a press joins a silent check",
         {{"check sw verbose", "started"},
          {"end sw failed", "failed"},
          {"answer sw yes", "not accepted"},
          {"check sw silent", "started"},
          {"end sw failed", "none"},
          {"check sw silent", "started"},
          {"check sw verbose", "dropped"},
          {"end sw latest", "latest"}}},
        {"one update at a time",
         {{"end sw available 1.0.2.0", "offer"},
          {"answer sw yes", "accepted 1.0.2.0"},
          {"end fw available 13", "none"},            // no firmware offer meanwhile
          {"upgrade", "dropped"},
          {"download 1.0.2.0", "started"},
          {"installed no", "idle"},
          {"end fw available 13", "offer"},
          {"answer fw yes", "accepted 13"},
          {"upgrade", "started"},
          {"state fw", "upgrading"},
          {"end sw available 1.0.2.0", "offer"},
          {"answer sw yes", "not accepted"},          // not while the cooler is rewritten
          {"upgraded", "idle"},
          {"upgrade", "dropped"}}},
        {"exit cancels network work and ends every flow",
         {{"check sw verbose", "started"},
          {"exit", "cancel network"},
          {"end sw available 1.0.2.0", "none"},
          {"check sw verbose", "dropped"},
          {"end fw available 13", "none"},
          {"state sw", "exiting"}}},
        {"exit with an accepted update that has not started",
         {{"end sw available 1.0.2.0", "offer"},
          {"answer sw yes", "accepted 1.0.2.0"},
          {"exit", "nothing to cancel"},
          {"download 1.0.2.0", "dropped"}}},
    };
    for (const Story& story : stories) {
        SCOPED_TRACE(story.name);
        UpdateFlow flow;
        for (const auto& [event, answer] : story.lines)
            EXPECT_EQ(Apply(flow, event), answer) << event;
    }
}

TEST(UpdateFlow, FailedCheckTextNamesTheReason)
{
    EXPECT_EQ(CheckFailedText(kServerFailedReason),
              std::wstring(L"Could not check for updates\n\n") + kServerFailedReason);
}

}  // namespace
