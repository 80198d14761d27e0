#pragma once
// The blocking HTTP GET that the tile download workers run (libcurl).
#include "core/map/NetworkRequest.h"

namespace kelvra {

// GETs RequestProps.URL into ResponseStm with 5-second connect and response
// time-outs, the header lines, credentials (from the URL, else the props) and
// the proxy choice. A status of 400 or above fails with
// "HTTP error: <code> <reason>"; an empty body fails with an empty ErrMsg;
// transport failures fail with libcurl's message. Gives up promptly once
// RequestProps.Cancel turns true.
bool NetworkRequest(const THttpRequestProps &RequestProps, TMemoryStream &ResponseStm,
                    std::string &ErrMsg);

} // namespace kelvra
