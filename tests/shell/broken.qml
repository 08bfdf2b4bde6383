import QtQuick

Item {
    this is not a document
}
