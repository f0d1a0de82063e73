#pragma once
#include <string>

// The update service's states and transitions, free of windows, threads and
// I/O: which check may start, what its result shows, what an answer leads to.
// Duplicates are dropped by state. One update runs at a time: while a software
// update is accepted or under way no firmware upgrade starts, and the other
// way round. Not thread-safe: UpdateCoordinator holds it under its lock.
enum class UpdateKind { Software, Firmware };

enum class FlowState {
    Idle,
    Checking,     // a version check runs
    PromptOpen,   // its box is shown, or waits for another box to close
    Accepted,     // YES: command 7 or 10 is queued
    Downloading,  // software: the package is being fetched and checked
    Installing,   // software: the installer is being started
    Exiting,      // software: the program ends (installer started, or "Exit")
    Upgrading,    // firmware: the transfer runs under the progress window
};

enum class CheckResult {
    Available,  // a newer version is offered
    Latest,
    Failed,     // software: the version file could not be fetched or is none
    Unknown,    // firmware: the cooler's version could not be read
    NoDevice,   // firmware: no cooler is open (the system's box says so)
};

// The box a check's result asks for.
enum class CheckBox { None, Offer, Latest, Failed, Unknown };

class UpdateFlow {
public:
    FlowState State(UpdateKind kind) const { return Of(kind).state; }

    // A check is asked for. False: dropped, because one of this kind is in
    // flight, shown or accepted, or the program ends. A verbose request that
    // meets a running silent check makes that check verbose.
    bool BeginCheck(UpdateKind kind, bool verbose);
    // The check's result (version: the offered version). Returns the box to
    // show; with a box the state is PromptOpen and the offer is remembered,
    // else Idle. A result that arrives without a check (the connect's offer
    // to a cooler without firmware) counts as a silent check.
    CheckBox EndCheck(UpdateKind kind, CheckResult result, const std::wstring& version);
    // The version the open offer names.
    const std::wstring& OfferedVersion(UpdateKind kind) const { return Of(kind).offered; }
    // The user answered the offer. True for a YES that is accepted: the state
    // is Accepted and `accepted` is the version to install. Anything else
    // returns to Idle.
    bool Answer(UpdateKind kind, bool yes, std::wstring& accepted);
    // Command 7 with its version: true when it is the accepted one and
    // nothing else runs (then Downloading); a second one is dropped.
    bool BeginDownload(const std::wstring& version);
    // The package verified and unpacked: Installing.
    void BeginInstall();
    // The command 7 ended: Exiting when the installer started, else Idle.
    void EndSoftwareUpdate(bool installerStarted);
    // Command 10 starts: true when accepted and no software update is under
    // way (then Upgrading).
    bool BeginUpgrade();
    // Command 10 ended (or was refused): firmware back to Idle.
    void EndUpgrade();
    // The program ends: everything after this is dropped. True when network
    // work was in flight and must be cancelled.
    bool BeginExit();

private:
    struct Side {
        FlowState state = FlowState::Idle;
        bool verbose = false;
        std::wstring offered;
        std::wstring accepted;
    };
    Side& Of(UpdateKind kind) { return kind == UpdateKind::Software ? software_ : firmware_; }
    const Side& Of(UpdateKind kind) const { return kind == UpdateKind::Software ? software_ : firmware_; }
    bool SoftwareUnderWay() const;
    // The other kind's update is accepted or running.
    bool OtherUnderWay(UpdateKind kind) const;

    Side software_;
    Side firmware_;
};

// For traces and test names.
const wchar_t* FlowStateName(FlowState state);
