#pragma once
// The host's log centre on log4cxx. Debug ids are enabled by the environment
// variable BTA_DEBUG_IDS (comma-separated ids, or "all").

#include <log4cxx/logger.h>
#include <string>

namespace ttservice {

class CLogCentre {
public:
    static CLogCentre* instance();
    bool fileLogEnabled(int debugId) const;
    bool logEnabled() const;                 // the "TTDbgFile" logger is debug-enabled
    void setDebugIds(const std::string& ids);  // same syntax as BTA_DEBUG_IDS
    // printf-style line at debug level to "TTDbgFile", prefixed with the id.
    void ttDbgLogNew(int debugId, const char* format, ...) __attribute__((format(printf, 3, 4)));
    log4cxx::LoggerPtr debugLogger() const;     // "TTDbgFile"
    log4cxx::LoggerPtr standardLogger() const;  // the host's standard logger
};

} // namespace ttservice
