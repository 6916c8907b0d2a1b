// Icon 128: a retail scale with its platter, post, display and keys, in the 16-colour palette.
#include "res/TaraboIcon.h"

// The 16-colour palette both images share; "." is transparent.
#define TARABO_ICON_PALETTE \
    ". c None", \
    "k c #000000", \
    "r c #800000", \
    "g c #008000", \
    "o c #808000", \
    "n c #000080", \
    "p c #800080", \
    "t c #008080", \
    "s c #C0C0C0", \
    "d c #808080", \
    "R c #FF0000", \
    "G c #00FF00", \
    "Y c #FFFF00", \
    "B c #0000FF", \
    "C c #00FFFF", \
    "w c #FFFFFF",

namespace {
const char* const kIcon32[] = {
    "32 32 16 1",
    TARABO_ICON_PALETTE
    "................................",
    "................................",
    "................................",
    "..kkkkkkkkkkkkkkkkkkkkkkkkkkkk..",
    "..kwwwwwwwwwwwwwwwwwwwwwwwwwwk..",
    "..kkkkkkkkkkkkkkkkkkkkkkkkkkkk..",
    ".............kkkkkk.............",
    ".............kddddk.............",
    ".............kddddk.............",
    ".............kkkkkk.............",
    "....kkkkkkkkkkkkkkkkkkkkkkkk....",
    "....kwwwwwwwwwwwwwwwwwwwwwwk....",
    "....kssssssssssssssssssssssk....",
    "....ksskkkkkkkkkkkkkkkkkkssk....",
    "....ksskkkkkkkkkkkkkkkkkkssk....",
    "....ksskkGGGkGGGkGGGkGGGkssk....",
    "....ksskkGkGkGkGkGkGkGkGkssk....",
    "....ksskkGGGkGGGGGGGkGGGkssk....",
    "....ksskkkkkkkkkkkkkkkkkkssk....",
    "....ksskkkkkkkkkkkkkkkkkkssk....",
    "....kssssssssssssssssssssssk....",
    "....kssnnnsnnnsnnnsnnnsRRssk....",
    "....kssnnnsnnnsnnnsnnnsRRssk....",
    "....kssssssssssssssssssRRssk....",
    "....kssnnnsnnnsnnnsnnnsRRssk....",
    "....kssnnnsnnnsnnnsnnnsRRssk....",
    "....kssssssssssssssssssssssk....",
    "....kssssssssssssssssssssssk....",
    "....kkkkkkkkkkkkkkkkkkkkkkkk....",
    ".....kkkk..............kkkk.....",
    ".....kkkk..............kkkk.....",
    "................................"
};

const char* const kIcon16[] = {
    "16 16 16 1",
    TARABO_ICON_PALETTE
    "................",
    ".kkkkkkkkkkkkkk.",
    ".kkkkkkkkkkkkkk.",
    "......kkkk......",
    "......kkkk......",
    "..kkkkkkkkkkkk..",
    "..kssssssssssk..",
    "..kskkkkkkkksk..",
    "..kskGGGGGGksk..",
    "..kskkkkkkkksk..",
    "..kssssssssssk..",
    "..ksnnsnnsRRsk..",
    "..ksnnsnnsRRsk..",
    "..kssssssssssk..",
    "..kkkkkkkkkkkk..",
    "...kk......kk..."
};
}

const ICONIMAGE g_taraboIconImages[2] = {
    {32, kIcon32},
    {16, kIcon16},
};
