import QtQuick

Item {
    Component.onCompleted: console.log("shelltest: document created")
    Timer {
        interval: 0
        running: true
        onTriggered: Qt.quit()
    }
}
