#pragma once

// The text form of the property stream: a line-by-line rendering of a
// component block (Windows-1251, CR LF, two blanks per level) and its parser.
// Every text value maps to exactly one binary value, so binary -> text ->
// binary gives the same bytes for blocks written by the writing rules.

#include "catalogue/PropertyStream.h"

namespace PropertyStream {

// Raises EPropertyStream for values that have no text form (a float that is
// not a finite number).
QByteArray RenderText(const TStreamComponent &component);
// Keywords are matched ignoring case; anything malformed raises
// EPropertyStream naming the line. Only blanks may follow the final "end".
TStreamComponent ParseText(QByteArrayView text);

// Conveniences over a whole block.
QByteArray BinaryToText(QByteArrayView binary);
QByteArray TextToBinary(QByteArrayView text);

} // namespace PropertyStream
