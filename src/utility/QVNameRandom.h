#pragma once
// Random numbers on the standard library's rand() and a random English first-name picker.
// The generator is never seeded here: the sequence is rand()'s own unless the caller seeds it.
// Every function draws r and uses only r % 10000.

// Where the draws come from: rand() unless a test has installed its own source.
using QVRandomSource = int (*)();

// For tests only: makes the functions below draw from `source` (a non-negative value per call,
// as rand() gives); nullptr restores rand(). Not safe to call while another thread draws.
void QVSetRandomSource(QVRandomSource source);

// m / 10000 in double, rounded to float: 0 to 0.9999 in steps of 1/10000.
float QVRandomFraction();
// 2 (m / 10000 - 0.5) in double, rounded to float: -1 to 0.9998.
float QVRandomSymmetric();
// -1 when m / 10000 is below 0.5, else +1.
int QVRandomSign();

// A first name: gender 1 a man's, -1 a woman's, 0 either (one draw picks the table, a fraction
// above 0.5 giving a man's); then one draw picks the entry. Any other gender draws nothing and
// gives "QVNAMERANDOMERROR". The text is static; do not free it.
const char* QVNameRandom(int gender);

// The fixed tables: women's names of 3 to 9 characters, all different; men's names of 2 to 7
// characters, one of them listed twice.
extern const char* const QVNameTableWomen[100];
extern const char* const QVNameTableMen[100];
