#include "engine/RecordSlots.h"
#include "engine/MeasurementRecord.h"
#include "ui/widgets/ThreeValuesFrame.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/widgets/IndexedLabel.h"
#include "ui/RecordBindings.h"
#include "ui/pages/MainValuesPage.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QStackedWidget>
#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

using namespace VDSlot;

class MainPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        page.SetUnits();
        page.CreateBindings(manager);
    }
    void TearDown() override { QLocale::setDefault(savedLocale); }

    TThreeParamsFrame *Three(const char *name) const
    {
        auto *frame = page.findChild<TThreeParamsFrame *>(QLatin1String(name));
        EXPECT_NE(frame, nullptr) << name;
        return frame;
    }
    TValueWithDimensionFrame *Single(const char *name) const
    {
        auto *frame = page.findChild<TValueWithDimensionFrame *>(QLatin1String(name));
        EXPECT_NE(frame, nullptr) << name;
        return frame;
    }
    QString Caption(const char *name) const
    {
        auto *label = page.findChild<TIxLabel *>(QLatin1String(name));
        return label ? label->Caption() : QStringLiteral("<missing>");
    }

    void FillRecord()
    {
        std::vector<float> nominals(NominalsCount, 0.0f);
        nominals[UnomPhase] = 57.7f;
        nominals[UnomLine] = 100.0f;
        nominals[Inom] = 5.0f;
        nominals[FreqAbsLimits + 0] = 50.4f; // maximum upper
        nominals[FreqAbsLimits + 1] = 50.2f; // normal upper
        nominals[FreqAbsLimits + 2] = 49.8f; // normal lower
        nominals[FreqAbsLimits + 3] = 49.6f; // maximum lower
        record.WriteNominals(nominals);
        record.SetDeviceDateTime(45000.25);
        const float phase[3] = {57.71f, 57.64f, 57.80f};
        for (int c = 0; c < 3; ++c) {
            Store(Urms + c, phase[c]);
            Store(U1 + c, phase[c] - 0.2f);
            Store(Urms + 3 + c, 99.9f + c * 0.1f);
            Store(U1 + 3 + c, 99.7f);
            Store(dU1 + c, 0.02f * (c + 1));
            Store(dU + c, -0.15f);
            Store(KU + c, 1.2f + c);
            Store(AngleU + c, 120.0f);
            Store(Irms + c, 4.98f);
            Store(I1 + c, 4.95f);
            Store(KI + c, 3.1f);
            Store(FiUI1 + c, 18.2f);
            Store(P + c, 272.4f);
            Store(P1 + c, 270.1f);
            Store(Q + c, -89.6f);
            Store(Q1 + c, -88.0f);
            Store(S + c, 287.5f);
            Store(S1 + c, 284.3f);
            Store(Km + c, 0.948f);
            Store(Km1 + c, 0.951f);
            Store(I0 + c, 0.01f * c);
            Store(FiUI0 + c, -12.0f * c);
        }
        Store(U0, 0.05f);
        Store(U1seq, 99.8f);
        Store(U2, 0.12f);
        Store(dUseq1, -0.2f);
        Store(F, 50.47f);
        Store(dF, 0.47f);
        Store(K0U, 0.2f);
        Store(K2U, 0.4f);
        Store(K0I, 1.5f);
        Store(K2I, 2.5f);
    }
    void Store(int slot, float v) { record.StoreValue(slot, v, false); }

    QLocale savedLocale;
    TDataStorageManagerVD record;
    TParamsControlsManager manager{record, nullptr, nullptr};
    TParamsMainPage page;
};

TEST_F(MainPageTest, EveryFrameHasItsExactUnitAndStartsEmpty)
{
    const QString volt = QStringLiteral("В"), percent = QStringLiteral("%"), degree = QStringLiteral("°");
    const std::map<std::string, QString> units = {
        {"tpfMainFazes_U", volt},
        {"tpfMainFazes_U1", volt},
        {"tpfMainUnderfazes_U", volt},
        {"tpfMainUnderfazes_U1", volt},
        {"tpfMainAsymmetryVolt", volt},
        {"tpfMainAsymmetryCurr", QStringLiteral("A")},
        {"tpfMain_I", QStringLiteral("А")},
        {"tpfMain_I1", QStringLiteral("А")},
        {"tpfMainFazes_dU", percent},
        {"tpfMainFazes_dU1", percent},
        {"tpfMainFazes_Ku", percent},
        {"tpfMain_Ki", percent},
        {"tpfMainUnderfazes_dU", percent},
        {"tpfMainUnderfazes_dU1", percent},
        {"tpfMainUnderfazes_Ku", percent},
        {"tpfMainAsymmetryK0K2", percent},
        {"tpfMainFiU", degree},
        {"tpfMain_fiUI", degree},
        {"tpfMainUnderFazesFi", degree},
        {"tpfMainAsymmetryAngles", degree},
        {"tpfMain_P", QStringLiteral("Вт")},
        {"tpfMain_P1", QStringLiteral("Вт")},
        {"tpfMain_Q", QStringLiteral("вар")},
        {"tpfMain_Q1", QStringLiteral("вар")},
        {"tpfMain_S", QStringLiteral("В*А")},
        {"tpfMain_S1", QStringLiteral("В*А")},
        {"tpfMainKm", QString()},
        {"tpfMainKm1", QString()},
    };
    for (const auto &[name, unit] : units) {
        TThreeParamsFrame *three = Three(name.c_str());
        ASSERT_NE(three, nullptr);
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(three->Param(c)->Unit(), unit) << name;
            EXPECT_EQ(three->Param(c)->ValueText(), QStringLiteral("--- ")) << name;
            EXPECT_EQ(three->Param(c)->DimensionText(), unit) << name;
        }
    }
    EXPECT_EQ(Single("vwdKi0")->Unit(), percent);
    EXPECT_EQ(Single("vwddU1")->Unit(), percent);
    EXPECT_EQ(Single("vwdfMainFreq")->Unit(), QStringLiteral("Гц"));
    EXPECT_EQ(Single("vwdfMain_dFreq")->Unit(), QStringLiteral("Гц"));
    EXPECT_EQ(page.findChildren<TThreeParamsFrame *>().size(), 28);

    // Latin A for the sequence currents, Cyrillic А for the phase currents and in В*А
    EXPECT_EQ(Three("tpfMainAsymmetryCurr")->Param(0)->Unit().at(0).unicode(), 0x0041);
    EXPECT_EQ(Three("tpfMain_I")->Param(0)->Unit().at(0).unicode(), 0x0410);
    EXPECT_EQ(Three("tpfMain_S")->Param(0)->Unit().at(2).unicode(), 0x0410);
}

TEST_F(MainPageTest, GroupsAndTheSelectorAreThere)
{
    QStringList titles;
    for (const QGroupBox *group : page.findChildren<QGroupBox *>())
        titles << group->title();
    for (const char *title : {"Отоброжаемые данные", "Параметры частоты", "Фазные параметры", "Несимметрия",
                              "Междуфазные параметры", "Векторная диаграмма"})
        EXPECT_TRUE(titles.contains(QString::fromUtf8(title))) << title;
    auto *selector = page.findChild<QComboBox *>(QStringLiteral("cbMainFazesVoltSelector"));
    ASSERT_NE(selector, nullptr);
    EXPECT_EQ(selector->count(), 2);
    EXPECT_EQ(selector->itemText(0), QStringLiteral("весь сигнал"));
    EXPECT_EQ(selector->itemText(1), QStringLiteral("первая гармоника"));
    EXPECT_EQ(selector->currentIndex(), 0);
    EXPECT_EQ(page.VectorDiagramGroup()->title(), QStringLiteral("Векторная диаграмма"));
}

TEST_F(MainPageTest, SelectorBringsTheOtherLayersToFrontAndRenamesRows)
{
    const char *layered[][2] = {
        {"tpfMainFazes_U", "tpfMainFazes_U1"},
        {"tpfMainFazes_dU", "tpfMainFazes_dU1"},
        {"tpfMainUnderfazes_U", "tpfMainUnderfazes_U1"},
        {"tpfMainUnderfazes_dU", "tpfMainUnderfazes_dU1"},
        {"tpfMain_I", "tpfMain_I1"},
        {"tpfMain_P", "tpfMain_P1"},
        {"tpfMain_Q", "tpfMain_Q1"},
        {"tpfMain_S", "tpfMain_S1"},
        {"tpfMainKm", "tpfMainKm1"},
    };
    const auto front = [&](const char *name) {
        TThreeParamsFrame *f = Three(name);
        auto *stack = qobject_cast<QStackedWidget *>(f->parentWidget());
        return stack && stack->currentWidget() == f;
    };
    for (const auto &pair : layered) {
        EXPECT_TRUE(front(pair[0])) << pair[0];
        EXPECT_FALSE(front(pair[1])) << pair[1];
    }
    const char *labels[] = {"ixlbMainUnderfazesVoltName",
                            "ixlblMainUnderfazes_dUName",
                            "ixlbMainVoltName",
                            "ixlbMain_dUName",
                            "ixlbMainCurentName",
                            "ixlbMainPowerName",
                            "ixlbMainReactivePower_name",
                            "ixlbMainSName",
                            "ixlbMainKmMain"};
    const QStringList whole = {"U", "@dU", "U", "@dU", "I", "P", "Q", "S", "K~m"};
    const QStringList first = {"U~(~1~)", "@dU~(~1~)", "U~(~1~)", "@dU~(~1~)", "I~(~1~)",
                               "P~(~1~)", "Q~(~1~)",   "S~(~1~)", "K~m~(~1~)"};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(Caption(labels[i]), whole[i]) << labels[i];

    page.cbMainFazesVoltSelectorSelect(1);
    EXPECT_TRUE(page.FirstHarmonicShown());
    for (const auto &pair : layered) {
        EXPECT_FALSE(front(pair[0])) << pair[0];
        EXPECT_TRUE(front(pair[1])) << pair[1];
    }
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(Caption(labels[i]), first[i]) << labels[i];
    // one-layer rows keep their captions
    EXPECT_EQ(Caption("ixlbMainKuName"), QStringLiteral("K~U"));
    EXPECT_EQ(Caption("ixlbMainFiUName"), QStringLiteral("@j~u~u"));

    page.cbMainFazesVoltSelectorSelect(0);
    EXPECT_FALSE(page.FirstHarmonicShown());
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(Caption(labels[i]), whole[i]) << labels[i];
}

TEST_F(MainPageTest, BindingsFollowTheTablesOfThePage)
{
    // one binding per field, and the vector diagrams' notifications
    int total = 0, notifications = 0;
    for (int slot = 0; slot < Count; ++slot)
        for (const TValueBinding &b : manager.Controls(slot))
            ++(b.Kind == TBindingKind::Notification ? notifications : total);
    EXPECT_EQ(total, 18 * 3 + 6 * 3 + 14 + 2);
    EXPECT_EQ(notifications, 14 + 7 + 17 + 3);

    const TValueBinding &u = manager.Controls(Urms + 1)[0];
    EXPECT_EQ(u.Kind, TBindingKind::ScaledValue);
    EXPECT_EQ(u.ValueKind, 1);
    EXPECT_EQ(u.Channel, 1);
    EXPECT_EQ(u.Limits.Kind, 1);
    EXPECT_EQ(u.Limits.Index, (std::array<int32_t, 8>{26, 27, 29, 28, 22, 23, 25, 24}));
    EXPECT_EQ(u.Frame, Three("tpfMainFazes_U")->Param(1));

    const TValueBinding &lineDev = manager.Controls(dU1 + 5)[0];
    EXPECT_EQ(lineDev.Kind, TBindingKind::PlainValue);
    EXPECT_EQ(lineDev.Decimals, 2);
    EXPECT_EQ(lineDev.Channel, 5);
    EXPECT_EQ(lineDev.Limits.Index, (std::array<int32_t, 8>{18, 19, 21, 20, 14, 15, 17, 16}));
    EXPECT_EQ(lineDev.Frame, Three("tpfMainUnderfazes_dU")->Param(2));

    const TValueBinding &ku = manager.Controls(KU + 4)[0];
    EXPECT_EQ(ku.MeaningfulnessKind, 1);
    EXPECT_EQ(ku.Limits.Kind, 0);
    EXPECT_EQ(ku.Limits.Index, (std::array<int32_t, 8>{-1, -1, -1, -1, 132, 82, -1, -1}));

    const TValueBinding &k0u = manager.Controls(K0U)[0];
    EXPECT_EQ(k0u.Channel, kNoChannel);
    EXPECT_EQ(k0u.Limits.Index, (std::array<int32_t, 8>{-1, -1, -1, -1, 78, 79, -1, -1}));
    const TValueBinding &seq = manager.Controls(U1seq)[0];
    EXPECT_EQ(seq.ValueKind, 2);
    EXPECT_EQ(seq.Limits.Index, (std::array<int32_t, 8>{34, 35, 37, 36, 30, 31, 33, 32}));
    const TValueBinding &freq = manager.Controls(F)[0];
    EXPECT_EQ(freq.Decimals, 3);
    EXPECT_EQ(freq.Limits.Index, (std::array<int32_t, 8>{-1, -1, -1, -1, 74, 75, 76, 77}));
    EXPECT_EQ(manager.Controls(FiUI1)[0].MeaningfulnessKind, 5);
    EXPECT_EQ(manager.Controls(AngleU + 3)[0].MeaningfulnessKind, 3);
    EXPECT_EQ(manager.Controls(Km1 + 2)[0].Decimals, 3);
    // whole-signal deviation row shows dU1, first-harmonic row dU
    EXPECT_EQ(manager.Controls(dU1)[0].Frame, Three("tpfMainFazes_dU")->Param(0));
    EXPECT_EQ(manager.Controls(dU)[0].Frame, Three("tpfMainFazes_dU1")->Param(0));
    EXPECT_TRUE(manager.Controls(ChannelStatus).empty());
}

TEST_F(MainPageTest, DataBlockFillsThePageAndBothLayersUpdate)
{
    FillRecord();
    page.cbMainFazesVoltSelectorSelect(1);
    manager.RefreshRange(286, 2754);

    EXPECT_EQ(Three("tpfMainFazes_U")->Param(0)->ValueText(), QStringLiteral("57,710"));
    EXPECT_EQ(Three("tpfMainFazes_U1")->Param(2)->ValueText(), QStringLiteral("57,600"));
    EXPECT_EQ(Three("tpfMainUnderfazes_U")->Param(2)->ValueText(), QStringLiteral("100,10"));
    EXPECT_EQ(Three("tpfMain_I")->Param(0)->ValueText(), QStringLiteral("4,98000"));
    EXPECT_EQ(Three("tpfMain_Q")->Param(1)->ValueText(), QStringLiteral("-89,600"));
    EXPECT_EQ(Three("tpfMain_Q")->Param(1)->DimensionText(), QStringLiteral("вар"));
    EXPECT_EQ(Three("tpfMainKm")->Param(1)->ValueText(), QStringLiteral("0,948"));
    EXPECT_EQ(Three("tpfMainKm")->Param(1)->DimensionText(), QString());
    EXPECT_EQ(Three("tpfMainAsymmetryK0K2")->Param(0)->ValueText(), QStringLiteral("2,50"));
    EXPECT_EQ(Three("tpfMainAsymmetryK0K2")->Param(1)->ValueText(), QStringLiteral("0,20"));
    EXPECT_EQ(Single("vwdKi0")->ValueText(), QStringLiteral("1,50"));
    EXPECT_EQ(Single("vwddU1")->ValueText(), QStringLiteral("-0,20"));
    EXPECT_EQ(Three("tpfMainAsymmetryAngles")->Param(2)->ValueText(), QStringLiteral("-24,00"));
    EXPECT_EQ(Single("vwdfMainFreq")->ValueText(), QStringLiteral("50,470"));
    // above the maximum upper frequency limit
    EXPECT_TRUE(Single("vwdfMainFreq")->ValueFont().bold());
    EXPECT_EQ(Single("vwdfMainFreq")->ValueColor(), QColor(255, 0, 0));

    // the selector does not save work: back on the whole signal, values are current
    page.cbMainFazesVoltSelectorSelect(0);
    EXPECT_EQ(Three("tpfMainFazes_U")->Param(1)->ValueText(), QStringLiteral("57,640"));

    // after the record is cleared every frame shows the placeholder again
    record.Clear();
    manager.RefreshRange(286, 2754);
    for (TValueWithDimensionFrame *frame : page.findChildren<TValueWithDimensionFrame *>())
        EXPECT_EQ(frame->ValueText(), QStringLiteral("--- ")) << frame->objectName().toStdString();
}

TEST_F(MainPageTest, NominalsOfTheToolBar)
{
    TValueWithDimensionFrame uf, umf, i;
    TParamsMainPage::SetNominalUnits(&uf, &umf, &i);
    TParamsMainPage::BindNominals(manager, &uf, &umf, &i);
    EXPECT_EQ(uf.ValueText(), QStringLiteral("--- "));
    EXPECT_EQ(i.DimensionText(), QStringLiteral("A"));
    EXPECT_EQ(i.Unit().at(0).unicode(), 0x0041);
    FillRecord();
    for (int slot : {0, 1, 2})
        manager.RefreshParameter(slot);
    EXPECT_EQ(uf.ValueText(), QStringLiteral("57,700"));
    EXPECT_EQ(umf.ValueText(), QStringLiteral("100,00"));
    EXPECT_EQ(i.ValueText(), QStringLiteral("5,00000"));
}

TEST_F(MainPageTest, FitsTheWindowWithoutOverlaps)
{
    FillRecord();
    manager.RefreshRange(286, 2754);
    // the page of an 840 x 690 window under the tool bars and the tab bar
    page.resize(830, 560);
    page.show();
    EXPECT_LE(page.minimumSizeHint().width(), 830);
    EXPECT_LE(page.minimumSizeHint().height(), 560);

    std::vector<std::pair<QString, QRect>> boxes;
    for (QWidget *w : page.findChildren<QWidget *>()) {
        if (!w->isVisible() || !(qobject_cast<TValueWithDimensionFrame *>(w) || qobject_cast<TIxLabel *>(w)))
            continue;
        const QRect r(w->mapTo(&page, QPoint(0, 0)), w->size());
        EXPECT_TRUE(page.rect().contains(r)) << w->objectName().toStdString();
        boxes.emplace_back(w->objectName(), r);
    }
    ASSERT_GT(boxes.size(), 80u);
    for (size_t a = 0; a < boxes.size(); ++a)
        for (size_t b = a + 1; b < boxes.size(); ++b)
            EXPECT_FALSE(boxes[a].second.intersects(boxes[b].second))
                << boxes[a].first.toStdString() << " / " << boxes[b].first.toStdString();

    // the value text of a frame fits its place
    for (TValueWithDimensionFrame *frame : page.findChildren<TValueWithDimensionFrame *>()) {
        if (!frame->isVisible())
            continue;
        EXPECT_LE(QFontMetrics(frame->ValueFont()).horizontalAdvance(frame->ValueText()), frame->ValueRect().width())
            << frame->objectName().toStdString() << " " << frame->ValueText().toStdString();
    }

    const QString dir = qEnvironmentVariable("MONITOR_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        page.grab().save(QDir(dir).filePath(QStringLiteral("params_main_page.png")));
}

} // namespace
