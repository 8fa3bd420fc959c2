#pragma once

// A group of value rows under column captions, as the upper parts of the
// harmonics, interharmonics and power pages show them: each row is an
// indexed-text label followed by its values (a TThreeParamsFrame, or two of
// them layered in one place).

#include <QColor>
#include <QGroupBox>
#include <QList>
#include <QStringList>

class QGridLayout;
class TIxLabel;
class TThreeParamsFrame;
class TValueWithDimensionFrame;

class TParamsGroupBox : public QGroupBox
{
    Q_OBJECT

public:
    TParamsGroupBox(const QString &title, const char *name, QWidget *parent = nullptr);

    // Captions over the three value columns; with phaseColours they are
    // drawn in the colours of phases A, B and C.
    QList<TIxLabel *> AddCaptions(const QStringList &captions, const QList<const char *> &names, bool phaseColours);
    TIxLabel *AddRow(const QString &caption, const char *labelName, QWidget *values);

    TThreeParamsFrame *NewThree(const char *name);
    TValueWithDimensionFrame *NewSingle(const char *name);

    // The upper part of the harmonics and interharmonics pages: the phase
    // group on the left, the frequency above the line group on the right.
    static QWidget *UpperFields(QWidget *parent, QWidget *phases, QWidget *frequency, QWidget *lines);

    // Phase A, B, C (and line AB, BC, CA) throughout the display.
    static QColor PhaseColor(int phase);

    static constexpr int kRowHeight = 22;
    static constexpr int kRowLabelWidth = 42;

private:
    QGridLayout *grid_;
    int rows_ = 0;
};
