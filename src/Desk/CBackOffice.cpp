#include "CBackOffice.h"

#include <QFile>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QSaveFile>
#include <QStatusBar>

#include <QJsonDocument>
#include <cstdio>

#include "CAllocationHistory.h"
#include "CAllocationTransfer.h"
#include "CDeskWindow.h"
#include "CHistoryDialog.h"
#include "CPanelBondTenderAllocationPanel.h"

namespace desk {

namespace {

int exportTo(QWidget* panel, const QString& path, QString* message)
{
    std::vector<SAllocationCsvRow> rows;
    if (!CAllocationTransfer::exportRows(panel, &rows)) {
        *message = QStringLiteral("面板中找不到表三");
        return CBackOffice::S_FAILED;
    }
    QSaveFile file(path);
    const QByteArray bytes = CAllocationCsv::write(rows);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *message = path + QStringLiteral(": 无法写入: ") + file.errorString();
        return CBackOffice::S_FAILED;
    }
    *message = QStringLiteral("已导出 %1 行到 %2").arg(rows.size()).arg(path);
    return CBackOffice::S_OK;
}

} // namespace

int CBackOffice::readImportFile(const QString& path, std::vector<SAllocationCsvRow>* rows, QString* message)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *message = path + QStringLiteral(": 无法读取: ") + file.errorString();
        return S_BAD_INPUT;
    }
    QString error;
    if (!CAllocationCsv::read(file.readAll(), rows, &error)) {
        *message = path + QLatin1Char(':') + error;
        return S_BAD_INPUT;
    }
    return S_OK;
}

int CBackOffice::exportAllocation(CDeskWindow& window, const QString& path, QString* message)
{
    return exportTo(window.panel(), path, message);
}

int CBackOffice::importAllocation(CDeskWindow& window, const QString& path, const std::vector<SAllocationCsvRow>& rows,
                                  QString* message)
{
    // The tables take edits the way they do on screen; nobody watches the import, so the
    // window is laid out but not painted after each typed cell.
    window.resize(CDeskWindow::kPreferredSize);
    window.show();
    window.setUpdatesEnabled(false);
    QString said;
    switch (CAllocationTransfer::importRows(window.panel(), rows, &said)) {
    case CAllocationTransfer::O_SAVED:
        *message = said;
        return S_OK;
    case CAllocationTransfer::O_REFUSED:
        *message = said;
        return S_REFUSED;
    case CAllocationTransfer::O_UNMATCHED:
        *message = path + QLatin1Char(':') + said;
        return S_BAD_INPUT;
    case CAllocationTransfer::O_FAILED:
        break;
    }
    *message = said;
    return S_FAILED;
}

int CBackOffice::printHistory(const IAllocationHistoryReader& history, const QString& bondCode, QString* message)
{
    std::vector<SHistoryEntry> entries;
    if (!history.readHistory(bondCode.toStdString(), &entries, message))
        return S_BAD_INPUT;
    const QByteArray text = QJsonDocument(CAllocationHistory::toJson(entries)).toJson(QJsonDocument::Indented);
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    std::fflush(stdout);
    return S_OK;
}

void CBackOffice::addMenu(CDeskWindow& window, const IAllocationHistoryReader* history)
{
    QMenu* menu = window.menuBar()->addMenu(QObject::tr("分配"));
    CDeskWindow* shown = &window;
    menu->addAction(QObject::tr("导出中标分配(CSV)..."), shown, [shown] {
        const QString bond = QString::fromStdString(shown->currentBond());
        const QString path = QFileDialog::getSaveFileName(shown, QObject::tr("导出中标分配"), bond + QStringLiteral(".csv"),
                                                          QObject::tr("CSV 文件 (*.csv)"));
        if (path.isEmpty())
            return;
        QString message;
        if (exportTo(shown->panel(), path, &message) == S_OK)
            shown->statusBar()->showMessage(message);
        else
            QMessageBox::critical(shown, QObject::tr("导出失败"), message);
    });
    if (!history)
        return;
    menu->addAction(QObject::tr("中标分配历史..."), shown, [shown, history] {
        std::vector<SHistoryEntry> entries;
        QString message;
        if (!history->readHistory(shown->currentBond(), &entries, &message)) {
            QMessageBox::critical(shown, QObject::tr("无法读取历史"), message);
            return;
        }
        CHistoryDialog dialog(QString::fromStdString(shown->currentBond()), std::move(entries), shown);
        dialog.exec();
    });
}

} // namespace desk
