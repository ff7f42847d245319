#pragma once

class QTranslator;

// The programs speak Spanish whatever the user's locale: numbers and dates,
// and Qt's own buttons and dialogs ("Sí", "Aceptar", "Cancelar", the colour
// and file dialogs) from the translations the system installs for Qt.
// `qtTexts` must outlive the application's use of them.
void speakSpanish(QTranslator& qtTexts);
