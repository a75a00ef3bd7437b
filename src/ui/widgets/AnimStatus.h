#pragma once

// How a StatusLbl animates the run of dots behind its text. Slots take the
// value as a plain int so that signals carrying an int connect to them.
enum AnimStatus : int
{
    NoAnim = 0,   // the text is shown unchanged
    Anim = 1,     // dots run even behind an empty text
    AutoAnim = 2, // dots run only while there is a text
};
