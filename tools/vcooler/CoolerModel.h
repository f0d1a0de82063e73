#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "VCoolerLayout.h"

// How one virtual cooler answers feature reports, and the paths it shows on the
// bus. Plain functions over the shared Cooler record; the caller holds the lock.
namespace vcooler {

// The cooler's collections unless a test asks for others: consumer control,
// the display collection (vendor page 0xFF01, usage 1) and a second vendor one.
std::vector<Collection> DefaultCollections();
bool IsDisplayCollection(const Collection& c);

struct SendOutcome {
    int result = -1;       // what hid_send_feature_report returns
    bool restart = false;  // the last firmware data report arrived: the cooler restarts
};

// A feature report sent to collection `collection` (faults already applied).
// Report id 0x07 on the display collection:
//   07 FF FF h t u  shows the digits h t u (all 0: the display goes dark)
//   07 FD           the next feature read answers 07 high low
//   07 EE DD        enters the boot loader; the next 327 reports are image data
SendOutcome ReceiveFeature(Cooler& cooler, int collection, const unsigned char* data, size_t length);

// A feature read from collection `collection` (faults already applied): fills
// `data` and returns the byte count, or -1.
int AnswerFeature(Cooler& cooler, int collection, unsigned char* data, size_t length);

// The version the received image carries (image offsets 0x5EFD high, 0x5EFE low).
uint16_t ReceivedImageVersion(const Cooler& cooler);

// Paths: lower case, as the system reports them.
std::string CollectionPath(const Cooler& cooler, int collection);
std::wstring UsbDevicePath(const Cooler& cooler);

// Puts the cooler on the bus with a fresh generation / takes it off. An upgrade
// cut short leaves it without valid firmware (version 0).
void PlugIn(Cooler& cooler);
void Unplug(Cooler& cooler);

}  // namespace vcooler
