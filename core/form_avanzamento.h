#pragma once

#include "progress_view.h"

#include <QWidget>

class QLabel;
class QProgressBar;

// The small window that tells the operator a strapping table is on its way.
class Tf_avanz : public QWidget, public ProgressView {
    Q_OBJECT
public:
    explicit Tf_avanz(QWidget* parent = nullptr);

    void show_transfer() override;
    void set_label(const QString& text) override;
    QString label() const override;
    void hide_transfer() override;
    bool is_shown() const override;

    QLabel* lb1 = nullptr;
    QProgressBar* pb1 = nullptr;
};

extern Tf_avanz* f_avanz;
