#pragma once
// Every event handler runs inside Guarded: an error that leaves it is shown
// in an error box titled with the application title, and the program goes on.
#include "app/errors.h"

#include <QString>

#include <exception>
#include <utility>

void ShowErrorBox(const QString &message);

template <class F>
void Guarded(F &&handler)
{
    try {
        std::forward<F>(handler)();
    } catch (const TError &e) {
        ShowErrorBox(e.message());
    } catch (const std::exception &e) {
        ShowErrorBox(QString::fromLocal8Bit(e.what()));
    }
}

// A slot for connect() that calls a method of obj under the guard.
template <class T>
auto Handler(T *obj, void (T::*method)())
{
    return [obj, method](auto &&...) { Guarded([&] { (obj->*method)(); }); };
}
