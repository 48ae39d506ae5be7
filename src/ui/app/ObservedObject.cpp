#include "ui/app/ObservedObject.h"

namespace kestrova::ui {

ObservedObject::ObservedObject(Observable& observed, QObject* parent)
    : QObject(parent), observed_(observed), token_(observed.observe([this](std::string_view field) {
          emit changed(QString::fromUtf8(field.data(), static_cast<qsizetype>(field.size())));
      })) {}

ObservedObject::~ObservedObject() { observed_.removeObserver(token_); }

}  // namespace kestrova::ui
