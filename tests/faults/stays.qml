import QtQml

// A main document that loads and stays until the loop is ended from outside.
QtObject {
    Component.onCompleted: console.log("faults: document created")
}
