#pragma once

// What the tests of the harmonics, interharmonics and power pages share: a
// record with nominals, the Russian number format, and reading the chart
// and the tables of a spectral group back.

#include "engine/RecordSlots.h"
#include "engine/MeasurementRecord.h"
#include "ui/widgets/ThreeValuesFrame.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/RecordBindings.h"
#include "ui/charts/SpectrumChart.h"
#include "ui/charts/SpectrumGroup.h"
#include "ui/charts/SpectrumTable.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QPointF>
#include <QStringList>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <optional>
#include <vector>

namespace spectraltest {

// A bound page of type TPage over a record of its own.
template <class TPage>
class TBoundPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedLocale_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        page.SetUnits();
        page.CreateBindings(manager);
    }
    void TearDown() override { QLocale::setDefault(savedLocale_); }

    // Nominals and (optionally) the harmonic limits of order n:
    // normal / maximum in the first two tables, the interharmonic pair in
    // the last two; the meter clock read.
    void WriteNominals(float phaseVoltage, float lineVoltage, float current,
                       std::vector<std::pair<int, float>> limits = {})
    {
        std::vector<float> block(VDSlot::NominalsCount, 0.0f);
        block[VDSlot::UnomPhase] = phaseVoltage;
        block[VDSlot::UnomLine] = lineVoltage;
        block[VDSlot::Inom] = current;
        for (const auto &[slot, value] : limits)
            block[slot] = value;
        record.WriteNominals(block);
        record.SetDeviceDateTime(45000.5);
    }
    void Store(int slot, float value) { record.StoreValue(slot, value, false); }
    void RefreshData() { manager.RefreshRange(VDSlot::Urms, VDSlot::DataEnd - 1); }

    TSpectrumGroup &Group() { return *page.Spectrum(); }
    TSpectrumChart &Chart() { return *Group().Chart(); }

    QStringList ShownSeries()
    {
        QStringList names;
        for (const QCPBars *bars : Chart().Series())
            if (bars->visible())
                names << bars->objectName();
        return names;
    }
    QCPBars *SeriesNamed(const char *name)
    {
        for (QCPBars *bars : Chart().Series())
            if (bars->objectName() == QLatin1String(name))
                return bars;
        ADD_FAILURE() << "no series " << name;
        return Chart().Series().first();
    }
    static double Bar(const QCPBars *bars, int position) { return (bars->data()->constBegin() + position)->value; }

    // The room of a page in the window of 840 x 690 under its tool bars and tabs.
    static constexpr int kPageWidth = 830;
    static constexpr int kPageHeight = 560;

    void ShowPage()
    {
        page.resize(kPageWidth, kPageHeight);
        page.show();
        QApplication::processEvents();
    }
    // Shown at the window's size, the value frames stay whole, inside the
    // page and clear of each other, and their numbers fit.
    void ExpectFieldsFit()
    {
        ShowPage();
        EXPECT_EQ(page.size(), QSize(kPageWidth, kPageHeight)) << "a top-level page grows to its minimum size";
        std::vector<std::pair<QString, QRect>> boxes;
        for (TValueWithDimensionFrame *frame : page.template findChildren<TValueWithDimensionFrame *>()) {
            if (!frame->isVisible())
                continue;
            const QRect box(frame->mapTo(&page, QPoint(0, 0)), frame->size());
            EXPECT_TRUE(page.rect().contains(box)) << frame->objectName().toStdString();
            EXPECT_EQ(frame->width(), TThreeParamsFrame::kParamWidth) << frame->objectName().toStdString();
            EXPECT_LE(QFontMetrics(frame->ValueFont()).horizontalAdvance(frame->ValueText()),
                      frame->ValueRect().width())
                << frame->objectName().toStdString();
            EXPECT_LE(QFontMetrics(frame->DimensionFont()).horizontalAdvance(frame->DimensionText()),
                      frame->DimensionRect().width())
                << frame->objectName().toStdString();
            for (const auto &[name, other] : boxes)
                EXPECT_FALSE(box.intersects(other)) << name.toStdString();
            boxes.emplace_back(frame->objectName(), box);
        }
        EXPECT_GE(boxes.size(), 4u);
    }

    // The middle of a bar in plot coordinates.
    QPoint BarMiddle(const QCPBars *bars, int position)
    {
        Chart().Plot()->replot();
        const QPointF top = bars->dataPixelPosition(position);
        const double base = Chart().Plot()->yAxis->coordToPixel(0);
        return QPointF(top.x(), (top.y() + base) / 2).toPoint();
    }

    TDataStorageManagerVD record;
    TParamsControlsManager manager{record, nullptr, nullptr};
    TPage page;

private:
    QLocale savedLocale_;
};

} // namespace spectraltest
