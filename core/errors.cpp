#include "errors.h"

#include "dialogs.h"

void raise_error(const QString& text) {
    throw TankdefError(text);
}

void run_handler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const TankdefError& error) {
        dialogs().error(error.text());
    } catch (const std::exception& error) {
        dialogs().error(QString::fromLocal8Bit(error.what()));
    }
}
