#pragma once

#include <QMainWindow>

// The main window: every channel parameter, the strapping table, the SMS numbers and the console.
class Tdefs : public QMainWindow {
    Q_OBJECT
public:
    explicit Tdefs(QWidget* parent = nullptr);
};

extern Tdefs* defs;
