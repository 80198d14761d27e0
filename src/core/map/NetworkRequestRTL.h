#pragma once
// The blocking HTTP GET that the tile download workers run (libcurl).
#include "core/map/NetworkRequest.h"

namespace kelvra {

// GETs RequestProps.URL into ResponseStm with 5-second connect and response
// time-outs, the header lines, credentials (from the URL, else the props) and
// the proxy choice. A status of 400 or above fails with
// "HTTP error: <code> <reason>"; an empty body fails with an empty ErrMsg;
// a 304 succeeds with an empty body; transport failures fail with libcurl's
// message. Gives up promptly once RequestProps.Cancel turns true. Over HTTPS
// HTTP/2 is used when the server offers it; with RequestProps.Connections the
// connection stays open for the next request.
bool NetworkRequest(const THttpRequestProps &RequestProps, TMemoryStream &ResponseStm,
                    std::string &ErrMsg);

// A connection cache for THttpRequestProps::Connections, safe to share between workers.
std::shared_ptr<THttpConnections> NewHttpConnections();

} // namespace kelvra
