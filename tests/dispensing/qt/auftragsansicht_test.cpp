// The job layout view on Qt's offscreen platform: what hovering shows, and which part the
// drawing marks for each state.

#include "dispensing/qt/auftragsansicht.h"

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QToolTip>

#include <gmock/gmock.h>

#include <string>

using namespace orvexa;
using ::testing::HasSubstr;

namespace {

// Two sheets of 3 × 2 points; the last column of the second sheet lies outside an area of
// 49.99 mm.
Auftragsplan Plan() {
    DomingJob job;
    job.Type = "Punkt";
    job.xStartpunkt = 10, job.yStartpunkt = 5, job.xAbstand = 5, job.yAbstand = 4;
    job.xAnzahl = 3, job.yAnzahl = 2, job.BxAbstand = 20, job.ByAbstand = 6;
    job.BxAnzahl = 2, job.ByAnzahl = 1;
    return Auftragsplan_berechnen(job, {"deutsch", 49.99, 20}, {});
}

class AuftragsansichtTest : public ::testing::Test {
protected:
    void SetUp() override {
        ansicht.resize(600, 300);
        ansicht.Plan_setzen(Plan());
    }

    QPoint Ort(int64_t nummer) const {
        return ansicht.Bildpunkt(ansicht.Plan().Teil(nummer)->Ort).toPoint();
    }

    QRgb Farbe_bei(int64_t nummer) {
        const QImage bild = ansicht.grab().toImage();
        return bild.pixel(Ort(nummer)) | 0xff000000;
    }

    Auftragsansicht ansicht;
};

TEST_F(AuftragsansichtTest, HoverNamesTheVisitUnderTheCursor) {
    struct Fall {
        int64_t nummer;
        const char* text;
    };
    for (const Fall& f : {
             Fall{1, "Nr. 1 von 12\nixBogen/iyBogen = 0/0\nix/iy = 0/0\nx = 10.00 mm  y = 5.00 mm"},
             Fall{8, "Nr. 8 von 12\nixBogen/iyBogen = 1/0\nix/iy = 1/0\nx = 45.00 mm  y = 5.00 mm"},
             Fall{12, "Nr. 12 von 12\nixBogen/iyBogen = 1/0\nix/iy = 2/1\n"
                      "x = 50.00 mm  y = 9.00 mm\naußerhalb des Arbeitsbereichs"},
         }) {
        SCOPED_TRACE(f.nummer);
        // Slightly off the centre, as a hand would be.
        const QPoint p = Ort(f.nummer) + QPoint(2, -1);
        EXPECT_EQ(ansicht.Teil_bei(p), f.nummer);
        QHelpEvent hilfe(QEvent::ToolTip, p, ansicht.mapToGlobal(p));
        QApplication::sendEvent(&ansicht, &hilfe);
        EXPECT_EQ(QToolTip::text().toStdString(), f.text);
    }
    // Between the two sheets there is no part.
    const QPoint zwischen = (Ort(3) + Ort(7)) / 2;
    EXPECT_EQ(ansicht.Teil_bei(zwischen), 0);
    QHelpEvent hilfe(QEvent::ToolTip, zwischen, ansicht.mapToGlobal(zwischen));
    QApplication::sendEvent(&ansicht, &hilfe);
    EXPECT_FALSE(hilfe.isAccepted());
}

TEST_F(AuftragsansichtTest, MarksFollowTheSetters) {
    EXPECT_EQ(Farbe_bei(8), Auftragsansicht::Farbe_Teil);
    EXPECT_EQ(Farbe_bei(9), Auftragsansicht::Farbe_ausserhalb);

    ansicht.Teil_in_Arbeit(8);
    EXPECT_EQ(ansicht.In_Arbeit(), 8);
    EXPECT_EQ(Farbe_bei(8), Auftragsansicht::Farbe_in_Arbeit);
    EXPECT_EQ(Farbe_bei(9), Auftragsansicht::Farbe_ausserhalb);
    ansicht.Teil_in_Arbeit(9);
    EXPECT_EQ(Farbe_bei(8), Auftragsansicht::Farbe_Teil);
    EXPECT_EQ(Farbe_bei(9), Auftragsansicht::Farbe_in_Arbeit);

    // Stopped in part 8: nothing in work, the run continues there and skips what lies before.
    ansicht.Teil_in_Arbeit(0);
    ansicht.Fortsetzpunkt(8);
    EXPECT_EQ(ansicht.Fortsetzen_bei(), 8);
    EXPECT_EQ(Farbe_bei(8), Auftragsansicht::Farbe_Fortsetzpunkt);
    EXPECT_EQ(Farbe_bei(7), Auftragsansicht::Farbe_uebersprungen);
    EXPECT_EQ(Farbe_bei(9), Auftragsansicht::Farbe_ausserhalb);
    EXPECT_THAT(ansicht.Hinweistext(8).toStdString(), HasSubstr("Fortsetzen beginnt hier"));
    EXPECT_THAT(ansicht.Hinweistext(2).toStdString(), HasSubstr("beim Fortsetzen übersprungen"));

    // A new plan keeps the marks; a number it does not list marks nothing.
    ansicht.Fortsetzpunkt(0);
    ansicht.Teil_in_Arbeit(40);
    ansicht.Plan_setzen(Plan());
    for (int64_t n = 1; n <= 12; ++n)
        EXPECT_NE(Farbe_bei(n), Auftragsansicht::Farbe_in_Arbeit) << n;
}

} // namespace
