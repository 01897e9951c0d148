#include "qtoberflaeche.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <chrono>
#include <thread>

namespace orvexa {

namespace {

Antwort Box_zeigen(const std::string& text, const std::string& titel, Symbol symbol,
                   Knoepfe knoepfe) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (symbol) {
    case Symbol::information:
        icon = QMessageBox::Information;
        break;
    case Symbol::warnung:
        icon = QMessageBox::Warning;
        break;
    case Symbol::fehler:
        icon = QMessageBox::Critical;
        break;
    case Symbol::frage:
        icon = QMessageBox::Question;
        break;
    case Symbol::keins:
        break;
    }
    QMessageBox::StandardButtons knopfe = QMessageBox::Ok;
    QMessageBox::StandardButton vorgabe = QMessageBox::Ok;
    switch (knoepfe) {
    case Knoepfe::ok:
        break;
    case Knoepfe::ok_abbrechen:
        knopfe = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case Knoepfe::ja_nein:
        knopfe = QMessageBox::Yes | QMessageBox::No;
        vorgabe = QMessageBox::Yes;
        break;
    case Knoepfe::ja_nein_abbrechen:
        knopfe = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        vorgabe = QMessageBox::Yes;
        break;
    }
    QMessageBox box(icon, QString::fromStdString(titel), QString::fromStdString(text), knopfe,
                    QApplication::activeWindow());
    box.setDefaultButton(vorgabe);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Antwort::ja;
    case QMessageBox::No:
        return Antwort::nein;
    case QMessageBox::Cancel:
        return Antwort::abbrechen;
    default:
        return Antwort::ok;
    }
}

} // namespace

bool QtOberflaeche::im_Fensterthread_jetzt() {
    return qApp && QThread::currentThread() == qApp->thread();
}

Antwort QtOberflaeche::Meldung(const std::string& text, const std::string& titel, Symbol symbol,
                               Knoepfe knoepfe) {
    if (!qApp) return Standardantwort(knoepfe);
    if (im_Fensterthread_jetzt()) return Box_zeigen(text, titel, symbol, knoepfe);
    Antwort antwort = Standardantwort(knoepfe);
    QMetaObject::invokeMethod(
        qApp, [&] { antwort = Box_zeigen(text, titel, symbol, knoepfe); },
        Qt::BlockingQueuedConnection);
    return antwort;
}

void QtOberflaeche::Piepton(int /*hz*/, int ms) {
    // Qt has no tone of a given pitch; the system bell stands in, and the call lasts as long
    // as the tone would.
    if (qApp) {
        if (im_Fensterthread_jetzt())
            QApplication::beep();
        else
            QMetaObject::invokeMethod(
                qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
    }
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void QtOberflaeche::Nachrichten_verarbeiten() {
    if (im_Fensterthread_jetzt()) QCoreApplication::processEvents();
}

void QtOberflaeche::im_Fensterthread(std::function<void()> f, bool warten) {
    if (!f) return;
    if (!qApp || im_Fensterthread_jetzt()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(qApp, std::move(f),
                              warten ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

} // namespace orvexa
