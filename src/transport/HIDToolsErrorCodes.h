#pragma once

#include <QString>

// The text for the user of any result word of a dongle command or device operation.
QString GetErrorText(quint16 Code);
