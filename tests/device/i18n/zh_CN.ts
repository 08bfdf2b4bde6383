<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Probe</name>
    <message>
        <source>catalogue</source>
        <translation>zh_CN</translation>
    </message>
    <message>
        <source>你好</source>
        <translation>你好</translation>
    </message>
</context>
</TS>
