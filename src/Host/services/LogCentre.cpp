#include "services/LogCentre.h"

#include <log4cxx/consoleappender.h>
#include <log4cxx/level.h>
#include <log4cxx/patternlayout.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <sstream>

namespace ttservice {

namespace {

const char* const kDebugLoggerName = "TTDbgFile";

struct SDebugIds {
    bool all = false;
    std::set<int> ids;
    bool empty() const { return !all && ids.empty(); }
};

// "54,53" or "all"; blanks around items are allowed, items that are not ids are ignored.
SDebugIds parseDebugIds(const std::string& text)
{
    SDebugIds out;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        const auto first = item.find_first_not_of(" \t");
        const auto last = item.find_last_not_of(" \t");
        if (first == std::string::npos)
            continue;
        item = item.substr(first, last - first + 1);
        if (item == "all") {
            out.all = true;
            continue;
        }
        char* end = nullptr;
        const long id = std::strtol(item.c_str(), &end, 10);
        if (end && *end == '\0')
            out.ids.insert(static_cast<int>(id));
    }
    return out;
}

std::mutex& idsMutex()
{
    static std::mutex mutex;
    return mutex;
}

SDebugIds& debugIds()
{
    static SDebugIds ids;
    return ids;
}

void applyDebugLevel(const SDebugIds& ids)
{
    log4cxx::Logger::getLogger(kDebugLoggerName)->setLevel(ids.empty() ? log4cxx::LevelPtr() : log4cxx::Level::getDebug());
}

// Gives log4cxx a console appender at INFO on stderr when the process configured nothing
// itself: stdout belongs to the program's own output (a dump, a JSON history).
void configureOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        log4cxx::LoggerPtr root = log4cxx::Logger::getRootLogger();
        if (root->getAllAppenders().empty()) {
            auto layout = std::make_shared<log4cxx::PatternLayout>(LOG4CXX_STR("%d{ISO8601} %-5p %c - %m%n"));
            root->addAppender(std::make_shared<log4cxx::ConsoleAppender>(layout, log4cxx::ConsoleAppender::getSystemErr()));
            root->setLevel(log4cxx::Level::getInfo());
        }
        const char* env = std::getenv("BTA_DEBUG_IDS");
        SDebugIds ids = parseDebugIds(env ? env : "");
        {
            std::lock_guard<std::mutex> lock(idsMutex());
            debugIds() = ids;
        }
        if (!ids.empty())
            applyDebugLevel(ids);
    });
}

} // namespace

CLogCentre* CLogCentre::instance()
{
    static CLogCentre centre;
    configureOnce();
    return &centre;
}

bool CLogCentre::fileLogEnabled(int debugId) const
{
    std::lock_guard<std::mutex> lock(idsMutex());
    return debugIds().all || debugIds().ids.count(debugId) > 0;
}

bool CLogCentre::logEnabled() const
{
    return debugLogger()->isDebugEnabled();
}

void CLogCentre::setDebugIds(const std::string& ids)
{
    const SDebugIds parsed = parseDebugIds(ids);
    {
        std::lock_guard<std::mutex> lock(idsMutex());
        debugIds() = parsed;
    }
    applyDebugLevel(parsed);
}

void CLogCentre::ttDbgLogNew(int debugId, const char* format, ...)
{
    if (!format || !logEnabled())
        return;
    va_list args;
    va_start(args, format);
    va_list sizing;
    va_copy(sizing, args);
    const int length = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(&text[0], text.size(), format, args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);
    LOG4CXX_DEBUG(debugLogger(), "[dbg_id=" << debugId << "] " << text);
}

log4cxx::LoggerPtr CLogCentre::debugLogger() const
{
    return log4cxx::Logger::getLogger(kDebugLoggerName);
}

log4cxx::LoggerPtr CLogCentre::standardLogger() const
{
    return log4cxx::Logger::getRootLogger();
}

} // namespace ttservice
