#pragma once

#include <QString>

// What the device link does to the progress window; the window implements it, tests record it.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    // Shows the window without waiting, hides the bar, shows the label (its text unchanged).
    virtual void show_transfer() = 0;
    // Sets the label and repaints it at once, inside the running handler.
    virtual void set_label(const QString& text) = 0;
    virtual QString label() const = 0;
    virtual void hide_transfer() = 0;
    virtual bool is_shown() const = 0;
};
