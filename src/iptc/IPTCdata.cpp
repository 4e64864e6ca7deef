#include "iptc/IPTCdata.h"

namespace morvik {

TIPTCdata::TIPTCdata(TimgData* owner) : owner_(owner) {}
TIPTCdata::~TIPTCdata() = default;

}  // namespace morvik
