#pragma once
// The three-language message table.  Entry 3 x id + language is the text of
// message id in that language.
#include <QString>

enum Language { LanSimplifiedChinese = 0, LanEnglish = 1, LanTraditionalChinese = 2 };

constexpr int kMessageIds = 4096;
// Ids from here up are this program's own texts, beyond the delivered table.
constexpr int kProjectMessageBase = 3000;

extern int gLan;                            // language of the run
extern QString gaLanStr[kMessageIds * 3];   // filled once at start-up, then only read

// Fills gaLanStr from the table compiled into the program (no file is read);
// ids without a row are left empty.  Called once at start-up.
void FillMessageTable();

// Text of message id in the language of the run (empty for an unknown id);
// a gLan outside the three languages reads as Simplified Chinese.
const QString& Msg(int id);
// Text of message id in a fixed language (empty for an unknown id or language).
const QString& Msg(int id, int language);
