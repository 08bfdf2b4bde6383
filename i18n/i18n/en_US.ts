<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>main</name>
    <message>
        <source>点击选项显示</source>
        <translation>Click Item to Display</translation>
    </message>
    <message>
        <source>CPU</source>
        <translation>CPU</translation>
    </message>
    <message>
        <source>GPU</source>
        <translation>GPU</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>频率</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>使用率</source>
        <translation>Usage</translation>
    </message>
    <message>
        <source>风扇转速</source>
        <translation>Fan Speed</translation>
    </message>
    <message>
        <source>显存占用</source>
        <translation>Display RAM Usage</translation>
    </message>
    <message>
        <source>无数据</source>
        <translation>No Data</translation>
    </message>
    <message>
        <source>MB(共享)</source>
        <translation>MB(Shared)</translation>
    </message>
    <message>
        <source>系统自启动</source>
        <translation>Autostart</translation>
    </message>
    <message>
        <source>华氏度显示</source>
        <translation>Display Fahrenheit</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
</context>
<context>
    <name>access</name>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>收起窗口</source>
        <translation>Collapse Window</translation>
    </message>
    <message>
        <source>显示屏已连接</source>
        <translation>Display Connected</translation>
    </message>
    <message>
        <source>显示屏未连接</source>
        <translation>Display Not Connected</translation>
    </message>
</context>
</TS>
