#include "exchange/documents.h"

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

#include <QBuffer>
#include <QColor>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentWriter>

#include "exchange/exchange_error.h"

namespace exchange {

namespace {

QColor ColorOf(std::uint32_t value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

// Text as XML character data: markup characters as entities, characters XML cannot hold
// (control characters, unpaired surrogates) left out.
QString XmlText(const QString& text) {
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (u == u'&')
            out += QStringLiteral("&amp;");
        else if (u == u'<')
            out += QStringLiteral("&lt;");
        else if (u == u'>')
            out += QStringLiteral("&gt;");
        else if (u < 0x20 || u == 0xFFFE || u == 0xFFFF)
            continue;
        else if (c.isHighSurrogate()) {
            if (i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                out += c;
                out += text[++i];
            }
        } else if (c.isLowSurrogate())
            continue;
        else
            out += c;
    }
    return out;
}

// A run of WordprocessingML; a tab inside the text becomes <w:tab/>.
void AppendDocxRun(QString& xml, const StyledRun& run) {
    QString props;
    if (run.bold) {
        props = QStringLiteral("<w:rPr><w:b/><w:color w:val=\"%1\"/></w:rPr>")
                    .arg(ColorOf(run.color).name(QColor::HexRgb).mid(1).toUpper());
    }
    const QStringList pieces = run.text.split(u'\t');
    xml += QStringLiteral("<w:r>") + props;
    for (qsizetype k = 0; k < pieces.size(); ++k) {
        if (k > 0) xml += QStringLiteral("<w:tab/>");
        if (!pieces[k].isEmpty()) {
            xml += QStringLiteral("<w:t xml:space=\"preserve\">") + XmlText(pieces[k]) +
                   QStringLiteral("</w:t>");
        }
    }
    xml += QStringLiteral("</w:r>");
}

const char kContentTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/word/document.xml\" "
    "ContentType=\"application/"
    "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
    "<Override PartName=\"/word/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/>"
    "<Override PartName=\"/docProps/core.xml\" "
    "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
    "</Types>";

const char kPackageRelationships[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"word/document.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
    "core-properties\" "
    "Target=\"docProps/core.xml\"/>"
    "</Relationships>";

const char kDocumentRelationships[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/>"
    "</Relationships>";

const char kStyles[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
    "<w:docDefaults><w:rPrDefault><w:rPr>"
    "<w:rFonts w:ascii=\"Times New Roman\" w:hAnsi=\"Times New Roman\" w:cs=\"Times New Roman\"/>"
    "<w:sz w:val=\"24\"/><w:szCs w:val=\"24\"/><w:lang w:val=\"ru-RU\"/>"
    "</w:rPr></w:rPrDefault>"
    "<w:pPrDefault><w:pPr><w:spacing w:after=\"120\"/></w:pPr></w:pPrDefault></w:docDefaults>"
    "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\">"
    "<w:name w:val=\"Normal\"/></w:style>"
    "</w:styles>";

const char kCoreProperties[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<cp:coreProperties "
    "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
    "<dc:title>NUV Tolvek - Расшифровка аудиозаписей</dc:title>"
    "</cp:coreProperties>";

void AddZipEntry(QuaZip& zip, const QString& name, const QByteArray& data) {
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(name)) || file.write(data) != data.size()) {
        throw ExchangeError(QStringLiteral("Не удалось записать %1 в документ DOCX").arg(name));
    }
    file.close();
    if (file.getZipError() != 0) {
        throw ExchangeError(QStringLiteral("Не удалось записать %1 в документ DOCX").arg(name));
    }
}

}  // namespace

std::vector<StyledRun> StyledRuns(const Paragraph& paragraph, const std::vector<Speaker>& speakers,
                                  bool timestamps) {
    std::vector<StyledRun> runs;
    bool skipSpace = false;  // after a timestamp left out
    for (const Run& run : paragraph) {
        switch (run.kind) {
            case Run::Kind::Turn: {
                const std::uint32_t color =
                    run.speaker >= 0 && run.speaker < static_cast<int>(speakers.size())
                        ? speakers[run.speaker].color
                        : 0;
                runs.push_back({run.text, true, color});
                skipSpace = false;
                break;
            }
            case Run::Kind::Timestamp:
                if (timestamps) {
                    if (!runs.empty() && !runs.back().bold)
                        runs.back().text += run.text;
                    else
                        runs.push_back({run.text, false, 0});
                }
                skipSpace = !timestamps;
                break;
            case Run::Kind::Text: {
                QString text = run.text;
                if (skipSpace && text.startsWith(u' ')) text.remove(0, 1);
                skipSpace = false;
                if (text.isEmpty()) break;
                if (!runs.empty() && !runs.back().bold)
                    runs.back().text += text;
                else
                    runs.push_back({text, false, 0});
                break;
            }
        }
    }
    return runs;
}

QByteArray OdtBytes(const std::vector<Paragraph>& paragraphs, const std::vector<Speaker>& speakers,
                    bool timestamps) {
    QTextDocument document;
    QTextCursor cursor(&document);
    const QTextCharFormat plain;
    // One edit: the document tells nobody about each insertion.
    cursor.beginEditBlock();
    for (std::size_t p = 0; p < paragraphs.size(); ++p) {
        if (p > 0) cursor.insertBlock();
        for (const StyledRun& run : StyledRuns(paragraphs[p], speakers, timestamps)) {
            if (run.bold) {
                QTextCharFormat name;
                name.setFontWeight(QFont::Bold);
                name.setForeground(ColorOf(run.color));
                cursor.insertText(run.text, name);
            } else {
                cursor.insertText(run.text, plain);
            }
        }
    }
    cursor.endEditBlock();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QTextDocumentWriter writer(&buffer, "odf");
    if (!writer.write(&document)) {
        throw ExchangeError(QStringLiteral("Не удалось составить документ ODT"));
    }
    return buffer.data();
}

QByteArray DocxBytes(const std::vector<Paragraph>& paragraphs, const std::vector<Speaker>& speakers,
                     bool timestamps) {
    QString body;
    body.reserve(4096);
    for (const Paragraph& paragraph : paragraphs) {
        body += QStringLiteral("<w:p>");
        for (const StyledRun& run : StyledRuns(paragraph, speakers, timestamps)) {
            AppendDocxRun(body, run);
        }
        body += QStringLiteral("</w:p>");
    }
    const QString document =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<w:document "
            "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>") +
        body +
        QStringLiteral(
            "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/>"
            "<w:pgMar w:top=\"1134\" w:right=\"850\" w:bottom=\"1134\" w:left=\"1701\" "
            "w:header=\"708\" w:footer=\"708\" w:gutter=\"0\"/></w:sectPr></w:body></w:document>");

    QBuffer buffer;
    {
        QuaZip zip(&buffer);
        if (!zip.open(QuaZip::mdCreate)) {
            throw ExchangeError(QStringLiteral("Не удалось составить документ DOCX"));
        }
        AddZipEntry(zip, QStringLiteral("[Content_Types].xml"), QByteArray(kContentTypes));
        AddZipEntry(zip, QStringLiteral("_rels/.rels"), QByteArray(kPackageRelationships));
        AddZipEntry(zip, QStringLiteral("word/_rels/document.xml.rels"),
                    QByteArray(kDocumentRelationships));
        AddZipEntry(zip, QStringLiteral("word/document.xml"), document.toUtf8());
        AddZipEntry(zip, QStringLiteral("word/styles.xml"), QByteArray(kStyles));
        AddZipEntry(zip, QStringLiteral("docProps/core.xml"), QByteArray(kCoreProperties));
        zip.close();
        if (zip.getZipError() != 0) {
            throw ExchangeError(QStringLiteral("Не удалось составить документ DOCX"));
        }
    }
    return buffer.data();
}

}  // namespace exchange
