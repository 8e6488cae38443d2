#pragma once

#include <QString>
#include <QUuid>
#include <functional>

namespace nimbrel {

// A transient notice at the bottom of the window. Two toasts with the same text are different
// toasts: each gets its own id.
struct Toast {
    QUuid id = QUuid::createUuid();
    QString message;  // already localised
    QString symbol;   // the name of the symbol shown beside it

    Toast() = default;
    Toast(QString message, QString symbol) : message(std::move(message)), symbol(std::move(symbol)) {}

    bool operator==(const Toast&) const = default;
};

// A confirmation the shell's modal host shows. It has no equality: every write notifies.
struct ConfirmRequest {
    QUuid id = QUuid::createUuid();
    QString title;
    QString message;
    QString actionTitle;
    bool destructive = false;
    // Runs on the main thread after the host has cleared the request.
    std::function<void()> perform;
};

}  // namespace nimbrel
