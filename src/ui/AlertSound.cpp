#include "AlertSound.h"

#include <QApplication>

namespace {
int g_count = 0;
}

void AlertSound::play() {
    ++g_count;
    QApplication::beep();
}

int AlertSound::count() {
    return g_count;
}
