#pragma once

class CPrompter;
class CProfile;

// What every panel and dialog needs from the program around it: the settings store (the core's INI
// profile, shared with tamrix-cli) and the prompter for message boxes. Tests pass an in-memory
// profile and a scripted prompter.
struct SUiContext
{
    CProfile& profile;
    CPrompter& prompter;
};
