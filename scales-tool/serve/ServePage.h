// The live page serve answers at "/": every configured scale's weight, state and last answers.
#pragma once

extern const char kServePage[];
