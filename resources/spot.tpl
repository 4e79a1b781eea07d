<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=utf-8">
<title>spot template</title>
<style type="text/css">
/* box, content and the eight frame pieces are classes of nested div elements */
td { font-size: small; }
.box { position: relative; margin-left: auto; margin-right: auto; margin-top: 1em; padding: 0; text-align: left; width: 99%; background-color: #eeeeee; }
.content { padding: 2em; font-size: small; }
.tlc { background: transparent url(data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABQAAAAQCAAAAAAzcwDHAAAAQElEQVR42mP4jwUwkCr46ciqaQgAEbwxd9qmQwgAFrwxbc3jd0gAJPhp7pp379AFj0x7jCm4atM7TMFphwaVIAAI+yOFmLr2yAAAAABJRU5ErkJggg==) no-repeat 0% 0%; }
.trc { background: transparent url(data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAB4AAAAQCAAAAAAkUZAOAAAAiElEQVR42qXJMQuCQBgGYP94VAQNjg7fERG0KuKBtLocTQ45CAW3iouHh9x0SHe5RRy8NfSsT/T6KvqvKZBdzWeLQEmnu/Pv1qEup8ZYh1rr/Nj20+xRd5TWUlkPWpcHLh5qRi2IZUJODvae8bq3sNfxuZLGo17t2KUdHextwhv1hL1Jitvwsxf/Z62X038VogAAAABJRU5ErkJggg==) no-repeat 100% 0%; }
.blc { background: transparent url(data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABQAAAAQCAAAAAAzcwDHAAAAlElEQVR42nXMsQrCMBSF4b64qAgOjg4JIoJrSzFQXF2CUwc7FBSyli4GpWQKxeRabqJRov/4cTgJABB+/y75h1nxA4+kiVFt8hjhTPImQlOtScFDiFbV6YqEEEG3JaPz8cjn0HSCZ3Qxm04wh9DLC2dbunR5tFqK8rBnO8wj2L5rRV2dsBcOv1rd5BULOKzNw/WJ755schU1zXykEwAAAABJRU5ErkJggg==) no-repeat 0% 100%; }
.brc { background: transparent url(data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAB4AAAAQCAAAAAAkUZAOAAAAoklEQVR42p3JIQuEMBgA0O+PDyeCQZMiWzUf4kCslkWDBsOBVSwODzGJqN/N45J6hnv1weuCZIT6cdEtCH904t11w9y7jgL6u5uI2YSYviiVbnmQsEAvsXha9SsCO/BcqtdwwqweNwRyxbC5yNsJEeiZaTn8Ieth1e1f4KGQTzWj7vhMpFleq2nbuzgrq7od5n0RujPVj9OKH7BcWDf8Arz1Bl80gCkLAVMvAAAAAElFTkSuQmCC) no-repeat 100% 100%; }
.tb { background: transparent url(data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABQAAAAQCAAAAAAzcwDHAAAAHElEQVR42mP4jwUwEC84DQtgOIQFMLzDAoafIAC6ySM8ZsqgEQAAAABJRU5ErkJggg==) repeat-x 0% 0%; }
.bb { background: transparent url(data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABQAAAAQCAAAAAAzcwDHAAAANElEQVR42mN4hwUw0E3wEBbAMA0LYKjFAhgasACGSVgAwzosgOEcFsDwCgtg+IMFMPzHAgAciAFAj/FPFgAAAABJRU5ErkJggg==) repeat-x 50% 100%; }
.rb { background: url(data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAB4AAAAKCAAAAACGHLHzAAAAHElEQVR42mN4hwUcmlbbMGnduVd//jOMSmOTBgBVywLQ7P/14AAAAABJRU5ErkJggg==) repeat-y 100% 0%; }
.lb { background: url(data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABQAAAAKCAAAAACRPiE6AAAAFUlEQVR42mP4////tEPvUAHDUBYEAO2BtsfEUSfrAAAAAElFTkSuQmCC) repeat-y 0% 100%; }
/* the spot's picture is shown at most 500 pixels a side, and at full size under the pointer */
.spotimage:hover { max-width: none !important; max-height: none !important; }
</style>
</head>
<body>
<div class="box"><div class="lb"><div class="rb"><div class="bb"><div class="blc"><div class="brc"><div class="tb"><div class="tlc"><div class="trc">
<div class="content">{description}</div>
<br style="clear: both;">
</div></div></div></div></div></div></div></div></div>
<br><br>
<b><u>Informatie:</u></b>
<table>
<tr><td><b>Weblink</b></td><td>:</td><td> {website}</td></tr>
<tr><td><b>Grootte</b></td><td>:</td><td> {size}</td></tr>
<tr><td><b>Aantal&nbsp;bestanden</b></td><td>:</td><td> {numfiles}</td></tr>
<tr><td><b>Bestandsnaam</b></td><td>:</td><td style="white-space: nowrap;"> <span style="color: green;">{firstfile}</span> t/m <span style="color: green;">{lastfile}</span></td></tr>
<tr><td><b>Nieuwsgroep</b></td><td>:</td><td> {newsgroup}</td></tr>
</table>
<br><br>
{comments}
</body>
</html>
