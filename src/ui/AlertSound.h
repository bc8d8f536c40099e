#pragma once

// The alert sound, and how many times it sounded (the views' tests listen).
class AlertSound {
public:
    static void play();
    static int count();
};
