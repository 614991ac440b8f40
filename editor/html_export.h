// "Экспорт в HTML": the transcript as a web page with the participants' pictures.
// User-interface thread only.
#pragma once

class TForm2;

void ExportHtml(TForm2& editor);
