import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A modal alert: the message in bold, the informative text with its line breaks, and the buttons with the first
// one, the default, at the right.
Pane {
    id: alert

    required property string messageText
    required property string informativeText
    required property var buttons

    // The index of the button that ended the alert, or -1.
    signal chosen(int index)

    width: 420
    padding: 20
    focus: true

    Keys.onEscapePressed: alert.chosen(-1)
    Keys.onReturnPressed: alert.chosen(0)
    Keys.onEnterPressed: alert.chosen(0)

    ColumnLayout {
        anchors.left: parent.left
        anchors.right: parent.right
        spacing: 12

        Label {
            objectName: "messageText"
            Layout.fillWidth: true
            text: alert.messageText
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.bold: true
            font.pixelSize: 15
        }

        Label {
            objectName: "informativeText"
            Layout.fillWidth: true
            visible: text !== ""
            text: alert.informativeText
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
        }

        RowLayout {
            Layout.alignment: Qt.AlignRight
            Layout.topMargin: 8
            layoutDirection: Qt.RightToLeft
            spacing: 8

            Repeater {
                model: alert.buttons

                Button {
                    required property int index
                    required property string modelData

                    objectName: "button" + index
                    text: modelData
                    highlighted: index === 0
                    focusPolicy: Qt.NoFocus
                    onClicked: alert.chosen(index)
                }
            }
        }
    }
}
