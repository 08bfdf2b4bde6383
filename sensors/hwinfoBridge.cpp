#include "hwinfoBridge.h"

hwinfoBridge::hwinfoBridge(QObject* parent) : QObject(parent) {}

hwinfoBridge::~hwinfoBridge() = default;
