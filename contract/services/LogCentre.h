#pragma once
// The host's log centre, over log4cxx.

#include <log4cxx/logger.h>

namespace ttservice {

class CLogCentre {
public:
    static CLogCentre* instance();
    bool fileLogEnabled(int debugId) const;
    bool logEnabled() const;
    void ttDbgLogNew(int debugId, const char* format, ...) __attribute__((format(printf, 3, 4)));
    log4cxx::LoggerPtr debugLogger() const;     // "TTDbgFile"
    log4cxx::LoggerPtr standardLogger() const;
};

} // namespace ttservice
