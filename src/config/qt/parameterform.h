#pragma once

#include "config/parameterregeln.h"
#include "core/dateien.h"

#include <QColor>
#include <QDialog>
#include <QGroupBox>
#include <QWidget>

#include <array>
#include <vector>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace orvexa {

// A page that paints a grey shadow behind each of its visible groups.
class Schattenseite : public QWidget {
public:
    explicit Schattenseite(QWidget* parent = nullptr) : QWidget(parent) {}
    void Gruppe_hinzufuegen(QWidget* gruppe) { m_gruppen.push_back(gruppe); }
    // Where the shadows lie, in the page's coordinates.
    std::vector<QRect> Schattenflaechen() const;

    static constexpr int Versatz = 4;

protected:
    void paintEvent(QPaintEvent* ereignis) override;

private:
    std::vector<QWidget*> m_gruppen;
};

// A group of radio buttons chosen by item index, as the parameter file counts them.
class Radiogruppe : public QGroupBox {
public:
    Radiogruppe(const QString& titel, const QStringList& eintraege, QWidget* parent = nullptr);
    // -1 when none is checked.
    int ItemIndex() const;
    // Out of range unchecks every button.
    void ItemIndex_setzen(int index);
    QRadioButton* Knopf(int index) const { return m_knoepfe.at(static_cast<std::size_t>(index)); }
    int Anzahl() const { return static_cast<int>(m_knoepfe.size()); }

private:
    std::vector<QRadioButton*> m_knoepfe;
};

// The modal dialog "Parameter": the machine parameter set Parametersatz() on tabbed pages, the
// pages fitted to the controller type; OK takes the entries back and writes Parameterdatei().
class TParameterForm : public QDialog {
    Q_OBJECT

public:
    explicit TParameterForm(QWidget* parent = nullptr);
    ~TParameterForm() override;

    // Panel colour 1 (card-type panel, speed panel, machine and reference groups), panel
    // colour 2 (interface panel, reference-speed group), and the text colours on each: for
    // labels and for the captions of groups and buttons.
    void Farben_setzen(const QColor& panel1, const QColor& panel2, const QColor& schrift1,
                       const QColor& schrift2, const QColor& knopfschrift1,
                       const QColor& knopfschrift2);
    QColor Panelfarbe1() const { return m_panel1; }
    QColor Panelfarbe2() const { return m_panel2; }

    // 1 after the dialog was closed with OK, 0 otherwise.
    int OK() const { return m_ok; }
    // Set at the end of each showing, cleared when the dialog closes.
    bool Gezeigt() const { return m_gezeigt; }

    // The COM box's offers, in the order of its items.
    const std::vector<Portangebot>& Portangebote() const { return m_portangebote; }

    // Pages and their controls, named after what they hold.
    QTabWidget* PageControl = nullptr;
    Schattenseite* KartentypSeite = nullptr;
    Schattenseite* GeschwindigkeitSeite = nullptr;
    Schattenseite* MaschineSeite = nullptr;
    Schattenseite* ReferenzSeite = nullptr;
    Schattenseite* PinSeite = nullptr;
    std::array<QPushButton*, 4> OKButton{};
    std::array<QPushButton*, 4> AbbrechenButton{};

    QFrame* KartentypPanel = nullptr;
    std::vector<QRadioButton*> TypRadioButton; // in the order of Steuerungstypen()
    QFrame* SchnittstellePanel = nullptr;
    QLabel* SchnittstelleLabel = nullptr;
    QRadioButton* LPT1RadioButton = nullptr;
    QRadioButton* LPT2RadioButton = nullptr;
    QRadioButton* AdresseRadioButton = nullptr;
    QLineEdit* AdresseEdit = nullptr;
    QComboBox* ComPortComboBox = nullptr;
    QComboBox* BaudrateComboBox = nullptr;

    QFrame* GeschwindigkeitPanel = nullptr; // x, y, z, u columns; y..u only show x
    std::array<QLineEdit*, 4> StartfreqEdit{};
    std::array<QLineEdit*, 4> ArbeitsfreqEdit{};
    std::array<QLineEdit*, 4> EilfreqEdit{};
    std::array<QLineEdit*, 4> RampenlaengeEdit{};

    QFrame* UebersetzShape = nullptr;
    std::array<QLineEdit*, 4> UebersetzEdit{};
    QFrame* MotStepShape = nullptr;
    std::array<QLineEdit*, 4> MotStepEdit{};
    Radiogruppe* AnsteuersignalRadioGroup = nullptr;
    Radiogruppe* SchrittbetriebRadioGroup = nullptr;
    Radiogruppe* RuhestromRadioGroup = nullptr;
    Radiogruppe* ZAchseRadioGroup = nullptr;
    Radiogruppe* UAchseRadioGroup = nullptr;

    QFrame* RefOffsetShape = nullptr;
    std::array<QLineEdit*, 4> RefOffsetEdit{};
    QGroupBox* RefFreqGroupBox = nullptr;
    QLineEdit* RefFreqEdit = nullptr;
    QFrame* ReihenfolgeShape = nullptr;
    std::array<QLineEdit*, 4> RefNrEdit{};

    QComboBox* PinVorlageComboBox = nullptr;
    std::array<QFrame*, 3> PinPanel{}; // step/direction, reference, outputs
    std::array<QComboBox*, 4> TaktComboBox{};
    std::array<QComboBox*, 4> RichtungComboBox{};
    std::array<QComboBox*, 4> RefComboBox{};
    QComboBox* BohrspindelComboBox = nullptr;
    QComboBox* KuehlmittelpumpeComboBox = nullptr;
    QComboBox* AbsaugungComboBox = nullptr;

public slots:
    void reject() override; // Abbrechen, Esc and the window's close box alike

protected:
    void showEvent(QShowEvent* ereignis) override;
    bool eventFilter(QObject* objekt, QEvent* ereignis) override;

private:
    void Oberflaeche_anlegen();
    QWidget* Kartentypseite_anlegen();
    QWidget* Geschwindigkeitsseite_anlegen();
    QWidget* Maschinenseite_anlegen();
    QWidget* Referenzseite_anlegen();
    QWidget* Pinseite_anlegen();
    QWidget* Knopfleiste(int seite);

    // Fills every page from the record; eingaben (on a type click) are the entries made so far,
    // shown in place of the record's values.
    void Anzeigen(const Maschinenparameter* eingaben = nullptr);
    void Schnittstelle_anzeigen(Maschinenparameter& p, const Maschinenparameter& w, bool typklick);
    void Sichtbarkeit_anwenden();
    void Pins_anzeigen();
    void Knoepfe_zeigen(bool sichtbar);
    void Farben_anwenden();

    Formularwerte Formular_lesen() const;

    void TypRadioButtonClick(int index);
    void PinVorlageChange();
    void OKButtonClick();
    void AbbrechenButtonClick();
    void PageControlChange(int seite);
    void Spalten_nachfuehren();

    QColor m_panel1, m_panel2, m_schrift1, m_schrift2, m_knopfschrift1, m_knopfschrift2;
    int m_ok = 0;
    bool m_gezeigt = false;
    std::vector<Portangebot> m_portangebote;
    std::vector<QWidget*> m_uZeile;      // labels and edits of the u rows
    std::vector<QWidget*> m_Achsspalten; // y, z, u speed columns with their headings
};

} // namespace orvexa
