#pragma once

// What the device link shows on the main window: the device count label and the
// firmware version label. The main window implements it; the device worker calls
// it from the worker thread, so an implementation must hand the change to its
// window in a thread-safe way.
class IDeviceView {
public:
    // "Device:%d" after a connect that found coolers, "Device:0" otherwise.
    virtual void SetDeviceCountText(const wchar_t* text) = 0;
    // The worker's fwVersion / fwVersionKnown changed; redraw the version label.
    virtual void FwVersionChanged() = 0;

protected:
    ~IDeviceView() = default;
};
