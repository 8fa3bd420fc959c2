#pragma once

// A line edit for a password, masked with "*" (not the style's bullets), as
// every password field of the window is.

class QLineEdit;

void MaskAsPassword(QLineEdit *edit);
