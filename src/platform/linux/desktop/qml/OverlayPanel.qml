import QtQuick

// The floating status panel: the status icon and a one-line message on a rounded card, tinted by the status over
// a translucent backdrop. The window around it is transparent.
Item {
    id: panel

    // "idle", "processing", "success" or "error"
    property string status: "idle"
    property string message: ""

    readonly property color tint: status === "processing" ? "#007aff"
                                : status === "success" ? "#34c759"
                                : status === "error" ? "#ff3b30"
                                : "transparent"

    width: 300
    height: 60

    // Called each time the panel is shown: the window is kept between runs, so the fade-in starts over.
    function appear() {
        fadeIn.restart()
    }

    NumberAnimation {
        id: fadeIn
        target: panel
        property: "opacity"
        from: 0
        to: 1
        duration: 200
    }

    Rectangle {
        objectName: "backdrop"
        anchors.fill: parent
        radius: 12
        color: Qt.rgba(0.93, 0.93, 0.95, 0.35)
        border.color: Qt.rgba(1, 1, 1, 0.18)
        border.width: 1
    }

    Rectangle {
        objectName: "tint"
        anchors.fill: parent
        radius: 12
        color: panel.tint
        opacity: 0.9
    }

    Row {
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        anchors.topMargin: 12
        anchors.bottomMargin: 12
        spacing: 12

        Item {
            id: iconSlot
            width: 20
            height: 20
            anchors.verticalCenter: parent.verticalCenter
            visible: panel.status !== "idle"

            Image {
                objectName: "spinner"
                anchors.centerIn: parent
                width: 16
                height: 16
                sourceSize: Qt.size(32, 32)
                source: "spinner-arc.svg"
                visible: panel.status === "processing"

                RotationAnimator on rotation {
                    from: 0
                    to: 360
                    duration: 900
                    loops: Animation.Infinite
                    running: panel.status === "processing"
                }
            }

            Image {
                objectName: "symbol"
                anchors.centerIn: parent
                width: 18
                height: 18
                sourceSize: Qt.size(36, 36)
                source: panel.status === "success" ? "checkmark-circle.svg" : "xmark-circle.svg"
                visible: panel.status === "success" || panel.status === "error"
            }
        }

        Text {
            objectName: "message"
            width: parent.width - (iconSlot.visible ? iconSlot.width + parent.spacing : 0)
            anchors.verticalCenter: parent.verticalCenter
            text: panel.message
            textFormat: Text.PlainText
            color: "white"
            font.pixelSize: 13
            font.weight: Font.Medium
            maximumLineCount: 1
            wrapMode: Text.NoWrap
            elide: Text.ElideRight
        }
    }
}
