// The hpgl command of the headless runner, called in-process with its output captured.

#include "testhilfen.h"

// The command is not part of a library the tests link; its one source file is built in here.
#include "cli/cli_hpgl.cpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace orvexa::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class HpglBefehl : public Testumgebung {
protected:
    int Ausfuehren(std::vector<std::string> args) {
        args.insert(args.begin(), {"orvexa-cli", "hpgl"});
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::FILE* a = std::tmpfile();
        std::FILE* f = std::tmpfile();
        const int code = Hpgl_Befehl(static_cast<int>(args.size()), argv.data(), a, f);
        aus = Inhalt(a);
        fehler = Inhalt(f);
        return code;
    }
    static std::string Inhalt(std::FILE* datei) {
        std::string text;
        std::rewind(datei);
        char puffer[4096];
        size_t n;
        while ((n = std::fread(puffer, 1, sizeof puffer, datei)) > 0)
            text.append(puffer, n);
        std::fclose(datei);
        return text;
    }
    std::string Plotdatei(const std::string& inhalt) {
        const std::string pfad = ordner.Datei("kontur.plt");
        Datei_schreiben(pfad, inhalt);
        return pfad;
    }

    std::string aus, fehler;
};

TEST_F(HpglBefehl, PrintsTheTableAndTheExtent) {
    EXPECT_EQ(Ausfuehren({Plotdatei("IN;SP1;PU0,0;PD400,0,400,400;PU;")}), 0);
    EXPECT_THAT(Zeilen(aus),
                ElementsAre("UP", "STIFT 1", "UP", "MOVETO 0.000000 0.000000", "DOWN",
                            "LINTETO 10.000000 0.000000", "LINTETO 10.000000 10.000000", "UP", "UP",
                            "EXTENT 0.000000 0.000000 10.000000 10.000000"));
    EXPECT_EQ(fehler, "");
}

TEST_F(HpglBefehl, OffsetMovesTheRowsButNotTheExtent) {
    const std::string pfad = Plotdatei("IN;PU-40,1;PD4,-4;");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{pfad, "--offset", "100,50.5"},
          std::vector<std::string>{"--offset=+100,50.5", pfad}}) {
        EXPECT_EQ(Ausfuehren(args), 0);
        EXPECT_THAT(Zeilen(aus), ElementsAre("UP", "UP", "MOVETO 99.000000 50.525000", "DOWN",
                                             "LINTETO 100.100000 50.400000", "UP",
                                             "EXTENT -1.000000 -0.100000 0.100000 0.025000"));
    }
    // A value that shows as zero is written without a sign.
    EXPECT_EQ(Ausfuehren({Plotdatei("IN;PU0,0;"), "--offset", "-0.0000001,-2"}), 0);
    EXPECT_THAT(Zeilen(aus), ElementsAre("UP", "UP", "MOVETO 0.000000 -2.000000", "UP",
                                         "EXTENT 0.000000 0.000000 0.000000 0.000000"));
}

TEST_F(HpglBefehl, RefusedFileGivesFailAndTheFirstLineOfTheMessage) {
    EXPECT_EQ(Ausfuehren({Plotdatei("IN;XY1;")}), 2);
    EXPECT_EQ(aus, "FAIL HPGL_Parser() default: \n");
    EXPECT_THAT(fehler, HasSubstr("XY1;"));
    EXPECT_THAT(fehler, HasSubstr("Fehler beim Parsen"));

    EXPECT_EQ(Ausfuehren({Plotdatei("PU0,0;")}), 2);
    EXPECT_EQ(aus, "FAIL Der Befehl 'IN' fehlt in der Plot-Datei!\n");

    EXPECT_EQ(Ausfuehren({Plotdatei("IN;PD10*20;")}), 2);
    EXPECT_EQ(aus, "FAIL Fehler beim Parsen\n");

    EXPECT_EQ(Ausfuehren({ordner.Datei("fehlt.plt")}), 2);
    EXPECT_EQ(aus, "FAIL cannot open " + ordner.Datei("fehlt.plt") + "\n");

    // No box reached the operator interface that was installed, and it is back in place.
    EXPECT_TRUE(ui.Meldungen().empty());
    EXPECT_EQ(&oberflaeche(), &ui);
}

TEST_F(HpglBefehl, BadCommandLines) {
    const std::string pfad = Plotdatei("IN;");
    const std::vector<std::vector<std::string>> faelle = {
        {},
        {pfad, "--offset"},
        {pfad, "--offset", "1"},
        {pfad, "--offset", "1;2"},
        {pfad, "--offset", "1,2mm"},
        {pfad, "--offset", "nan,0"},
        {pfad, "--offset", "1e999,0"},
        {pfad, "--verbose"},
        {pfad, pfad},
    };
    for (const auto& args : faelle) {
        EXPECT_EQ(Ausfuehren(args), 2) << ::testing::PrintToString(args);
        EXPECT_EQ(aus, "");
        EXPECT_THAT(fehler, HasSubstr("orvexa-cli hpgl: "));
    }
    EXPECT_EQ(Ausfuehren({"--help"}), 0);
    EXPECT_THAT(aus, HasSubstr("Usage: orvexa-cli hpgl FILE"));
}

} // namespace
} // namespace orvexa::test
