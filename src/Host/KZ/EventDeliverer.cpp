#include "KZ/EventDeliverer.h"

#include <QObject>

namespace KZ {

namespace {

CEventDeliverer::Observer& observer()
{
    static CEventDeliverer::Observer instance;
    return instance;
}

} // namespace

void CEventDeliverer::setObserver(Observer o)
{
    observer() = std::move(o);
}

bool CEventDeliverer::handleEvent(int, int, int, QString, void*)
{
    return false;
}

bool CEventDeliverer::deliverEvent(int nEventID, int nSenderID, int nIntParam, const QString& qsParam, void* pParam)
{
    return deliverEventFrom(deliveryStart(), nEventID, nSenderID, nIntParam, qsParam, pParam);
}

bool deliverEventFrom(QObject* start, int nEventID, int nSenderID, int nIntParam, const QString& qsParam, void* pParam)
{
    if (observer())
        observer()(start, nEventID, nSenderID);
    for (QObject* node = start; node != nullptr; node = node->parent()) {
        auto* deliverer = dynamic_cast<CEventDeliverer*>(node);
        if (deliverer != nullptr && deliverer->handleEvent(nEventID, nSenderID, nIntParam, qsParam, pParam))
            return true;
    }
    return false;
}

} // namespace KZ
