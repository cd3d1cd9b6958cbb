#pragma once

#include <QByteArrayView>
#include <optional>

// Reads the fraction done from one chunk of curl's progress bar ("######  42.5%").
namespace CurlProgress {

// The last percentage with a decimal point in the chunk, as a fraction clamped to 0...1;
// nothing when the chunk holds none.
std::optional<double> fraction(QByteArrayView chunk);

}
