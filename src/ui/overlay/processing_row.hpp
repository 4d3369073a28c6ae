#pragma once
// The card's one row while a command runs: a small spinner and the status verb, each new verb
// rolling in from below.

#include <QWidget>

class QTimer;
class QVariantAnimation;

namespace pennial {

// An indeterminate circular progress indicator, 13 by 13.
class ProgressSpinner : public QWidget {
public:
    explicit ProgressSpinner(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer* turning_;
    int angle_ = 0;
};

// The verb on one line, cut with an ellipsis when too long.
class VerbLabel : public QWidget {
public:
    explicit VerbLabel(QWidget* parent);

    const QString& text() const { return text_; }
    void setText(const QString& text);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QString leaving_;
    QVariantAnimation* rolling_;
    double progress_ = 1; // 0: the old text in place, 1: the new one
};

class ProcessingRow : public QWidget {
public:
    explicit ProcessingRow(QWidget* parent);

    void setVerb(const QString& verb) { verb_->setText(verb); }
    const VerbLabel* verbLabel() const { return verb_; }

private:
    VerbLabel* verb_;
};

} // namespace pennial
