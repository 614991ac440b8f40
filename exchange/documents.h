// Documents for clients: the transcript's lines as paragraphs, each turn marker as the
// participant's name in bold in the participant's colour, timestamps kept as text or left out.
// ODT through Qt's own document writer, DOCX as an Office Open XML package.
//
// Any thread (each call builds its own document). Throws ExchangeError when the document
// cannot be made.
#pragma once

#include <QByteArray>
#include <vector>

#include "exchange/transcript.h"

namespace exchange {

QByteArray OdtBytes(const std::vector<Paragraph>& paragraphs, const std::vector<Speaker>& speakers,
                    bool timestamps);
QByteArray DocxBytes(const std::vector<Paragraph>& paragraphs, const std::vector<Speaker>& speakers,
                     bool timestamps);

// The text of a paragraph's runs as the documents show it (turns as their names, timestamps
// as written or left out with one space after them).
struct StyledRun {
    QString text;
    bool bold = false;
    std::uint32_t color = 0;  // for bold names only
};
std::vector<StyledRun> StyledRuns(const Paragraph& paragraph, const std::vector<Speaker>& speakers,
                                  bool timestamps);

}  // namespace exchange
