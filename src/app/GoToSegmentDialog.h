#pragma once

#include <QDialog>

class QSpinBox;

/// Go to Segment: asks for a segment's number, from 1 to the document's count. It is wide enough
/// for its title bar to show the title whole beside the bar's buttons.
class GoToSegmentDialog : public QDialog
{
    Q_OBJECT

public:
    GoToSegmentDialog(int count, QWidget *parent = nullptr);
    /// The number chosen, from 1.
    int number() const;
    QSpinBox *field() const { return m_number; }

private:
    QSpinBox *m_number;
};
