#include "UpdateFlow.h"

bool UpdateFlow::SoftwareUnderWay() const
{
    switch (software_.state) {
    case FlowState::Accepted:
    case FlowState::Downloading:
    case FlowState::Installing:
    case FlowState::Exiting:
        return true;
    default:
        return false;
    }
}

bool UpdateFlow::OtherUnderWay(UpdateKind kind) const
{
    if (kind == UpdateKind::Firmware)
        return SoftwareUnderWay();
    return firmware_.state == FlowState::Accepted || firmware_.state == FlowState::Upgrading;
}

bool UpdateFlow::BeginCheck(UpdateKind kind, bool verbose)
{
    Side& side = Of(kind);
    if (software_.state == FlowState::Exiting)
        return false;
    if (side.state == FlowState::Checking) {
        side.verbose = side.verbose || verbose;
        return false;
    }
    if (side.state != FlowState::Idle)
        return false;
    side.state = FlowState::Checking;
    side.verbose = verbose;
    return true;
}

CheckBox UpdateFlow::EndCheck(UpdateKind kind, CheckResult result, const std::wstring& version)
{
    Side& side = Of(kind);
    const bool verbose = side.state == FlowState::Checking && side.verbose;
    if (side.state != FlowState::Checking && side.state != FlowState::Idle)
        return CheckBox::None;  // an offer is open or accepted already
    side.state = FlowState::Idle;
    side.verbose = false;
    // One update at a time: no firmware offer while a software update is under way.
    if (software_.state == FlowState::Exiting || (kind == UpdateKind::Firmware && SoftwareUnderWay()))
        return CheckBox::None;

    CheckBox box = CheckBox::None;
    switch (result) {
    case CheckResult::Available:
        box = CheckBox::Offer;
        break;
    case CheckResult::Latest:
        box = verbose ? CheckBox::Latest : CheckBox::None;
        break;
    case CheckResult::Failed:
        box = verbose ? CheckBox::Failed : CheckBox::None;
        break;
    case CheckResult::Unknown:
        box = verbose ? CheckBox::Unknown : CheckBox::None;
        break;
    case CheckResult::NoDevice:
        break;
    }
    if (box != CheckBox::None) {
        side.state = FlowState::PromptOpen;
        side.offered = box == CheckBox::Offer ? version : std::wstring();
    }
    return box;
}

bool UpdateFlow::Answer(UpdateKind kind, bool yes, std::wstring& accepted)
{
    Side& side = Of(kind);
    if (side.state != FlowState::PromptOpen)
        return false;
    const bool offer = !side.offered.empty();
    if (!yes || !offer || software_.state == FlowState::Exiting || OtherUnderWay(kind)) {
        side.state = FlowState::Idle;
        side.offered.clear();
        return false;
    }
    side.state = FlowState::Accepted;
    side.accepted = side.offered;
    side.offered.clear();
    accepted = side.accepted;
    return true;
}

bool UpdateFlow::BeginDownload(const std::wstring& version)
{
    if (software_.state != FlowState::Accepted || version.empty() || version != software_.accepted)
        return false;
    software_.state = FlowState::Downloading;
    return true;
}

void UpdateFlow::BeginInstall()
{
    if (software_.state == FlowState::Downloading)
        software_.state = FlowState::Installing;
}

void UpdateFlow::EndSoftwareUpdate(bool installerStarted)
{
    if (software_.state == FlowState::Exiting)
        return;
    software_.state = installerStarted ? FlowState::Exiting : FlowState::Idle;
    software_.accepted.clear();
}

bool UpdateFlow::BeginUpgrade()
{
    if (firmware_.state != FlowState::Accepted || SoftwareUnderWay())
        return false;
    firmware_.state = FlowState::Upgrading;
    return true;
}

void UpdateFlow::EndUpgrade()
{
    if (firmware_.state == FlowState::Accepted || firmware_.state == FlowState::Upgrading)
        firmware_.state = FlowState::Idle;
}

bool UpdateFlow::BeginExit()
{
    const bool network = software_.state == FlowState::Checking || software_.state == FlowState::Downloading ||
                         software_.state == FlowState::Installing;
    software_.state = FlowState::Exiting;
    return network;
}

const wchar_t* FlowStateName(FlowState state)
{
    switch (state) {
    case FlowState::Idle: return L"idle";
    case FlowState::Checking: return L"checking";
    case FlowState::PromptOpen: return L"prompt open";
    case FlowState::Accepted: return L"accepted";
    case FlowState::Downloading: return L"downloading";
    case FlowState::Installing: return L"installing";
    case FlowState::Exiting: return L"exiting";
    case FlowState::Upgrading: return L"upgrading";
    }
    return L"?";
}
