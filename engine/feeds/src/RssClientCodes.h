// The feed client's result codes (also what its observer hears with
// MSG_RssErrorOccured).
#pragma once

namespace feeds {

constexpr int kErrNoSocket = 0x2002301;       // socket library, socket or secure option
constexpr int kErrParserMemory = 0x2002302;   // the parser, or a picture, found too little memory
constexpr int kErrParserSetup = 0x2002303;
constexpr int kErrParse = 0x2002304;
constexpr int kErrNoChannel = 0x2002305;
constexpr int kErrChannel = 0x2002306;        // the channel or its items could not be read
constexpr int kErrField = 0x2002307;          // an item field could not be read
constexpr int kErrBuild = 0x2002308;          // the message could not be built
constexpr int kErrNoHost = 0x2002309;         // no "http://" host and path
constexpr int kErrHttp = 0x200230a;           // any status but 200, or another transfer error
constexpr int kErrScale = 0x200230b;          // a picture could not be scaled
constexpr int kErrLinkLost = 0x200230c;       // the data connection went, or no session is open
constexpr int kErrTimeOut = 0x200230d;
constexpr int kErrNoFeedHeader = 0x200230e;   // a stored item with nothing to fetch again
constexpr int kErrRefetch = 0x200230f;        // a re-fetch found nothing, or a download failed
constexpr int kErrCancelled = 0x2002310;
constexpr int kErrFetchSetup = 0x2002311;     // the retriever's one fetch found no account, link or record

// The codes after which the session cannot go on: they end an item walk.
inline bool EndsSession(int code) { return code == kErrLinkLost || code == kErrTimeOut || code == kErrCancelled; }

}  // namespace feeds
