#include "FeatureExchange.h"

#include <cstring>

#include "CoolerModel.h"
#include "VCoolerControl.h"

namespace vcooler {

namespace {

bool Alive(const Cooler& c, uint32_t generation, uint32_t handleEpoch)
{
    return c.present && c.plugged && c.generation == generation && c.handleEpoch == handleEpoch;
}

}  // namespace

bool UnplugDue(Cooler& c)
{
    if (c.unplugAfterOps < 0)
        return false;
    if (c.unplugAfterOps == 0) {
        c.unplugAfterOps = -1;
        return true;
    }
    c.unplugAfterOps--;
    return false;
}

NoticeBatch FaultUnplug(State& s, int index)
{
    Unplug(s.coolers[index]);
    return MakeNotices(s, s.coolers[index], false);
}

FeatureOutcome SendFeatureLocked(State& s, int index, int collection, uint32_t generation, uint32_t handleEpoch,
                                 const unsigned char* data, size_t length)
{
    FeatureOutcome out;
    Cooler& c = s.coolers[index];
    if (Alive(c, generation, handleEpoch)) {
        if (UnplugDue(c)) {
            out.notices = FaultUnplug(s, index);
        } else if (c.failSends > 0) {
            c.failSends--;
        } else {
            const SendOutcome sent = ReceiveFeature(c, collection, data, length);
            out.result = sent.result;
            out.restart = sent.restart;
        }
    }
    AppendLog(s, index, collection, LogKind::SendFeature, out.result > 0, data, length);
    return out;
}

FeatureOutcome GetFeatureLocked(State& s, int index, int collection, uint32_t generation, uint32_t handleEpoch,
                                unsigned char* data, size_t length)
{
    FeatureOutcome out;
    Cooler& c = s.coolers[index];
    if (Alive(c, generation, handleEpoch)) {
        if (UnplugDue(c)) {
            out.notices = FaultUnplug(s, index);
        } else if (c.failReads > 0) {
            c.failReads--;
        } else if (c.wrongIdReads > 0 && length > 0) {
            // Another report's answer; the version request stays pending.
            c.wrongIdReads--;
            memset(data, 0, length);
            data[0] = 0x05;
            out.result = static_cast<int>(length);
        } else {
            out.result = AnswerFeature(c, collection, data, length);
        }
    }
    AppendLog(s, index, collection, LogKind::GetFeature, out.result > 0, out.result > 0 ? data : nullptr,
              out.result > 0 ? length : 0);
    return out;
}

}  // namespace vcooler
